#include "SqliteFileName.h"

#include <platform/Utf.h>

#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace qm::sqlite {
namespace {

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// "%HH" for a URI (upper case, as RFC 3986 prefers); "\xhh" for people, as
// the command line shows every byte it escapes.
void AppendEscapedByte(std::string& out, unsigned char byte, char introducer) {
  const char* const kHex = introducer == '\\' ? "0123456789abcdef" : "0123456789ABCDEF";
  out += introducer;
  if (introducer == '\\') out += 'x';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// The URI's path and its parameters, decoded as SQLite decodes them: "%HH"
// is the byte HH anywhere (and a decoded byte never delimits); "%00" drops
// the rest of the current path, name or value; '?' starts the parameters,
// '&' separates them, the first '=' of one ends its name; a parameter with
// an empty name is skipped up to the next '&'; '#' ends everything. Built,
// as SQLite builds it, as one buffer of NUL-terminated pieces (path, then
// name and value pairs), which the list of parameters is then read from:
// it ends at the first empty name.
struct ParsedUri {
  std::string path;
  std::vector<std::pair<std::string, std::string>> parameters;  // in the order written
};

ParsedUri DecodeUri(std::string_view rest) {
  enum State { Path, Name, Value } state = Path;
  std::string pieces;
  std::size_t i = 0;
  while (i < rest.size() && rest[i] != '#') {
    char c = rest[i++];
    if (c == '%' && i + 1 < rest.size() && HexValue(rest[i]) >= 0 && HexValue(rest[i + 1]) >= 0) {
      const int octet = HexValue(rest[i]) * 16 + HexValue(rest[i + 1]);
      i += 2;
      if (octet == 0) {
        while (i < rest.size() && rest[i] != '#' && !(state == Path && rest[i] == '?') &&
               !(state == Name && (rest[i] == '=' || rest[i] == '&')) && !(state == Value && rest[i] == '&'))
          ++i;
        continue;
      }
      c = static_cast<char>(octet);
    } else if (state == Name && (c == '&' || c == '=')) {
      if (pieces.back() == '\0') {
        while (i < rest.size() && rest[i] != '#' && rest[i - 1] != '&') ++i;
        continue;
      }
      if (c == '&') {
        pieces += '\0';
      } else {
        state = Value;
      }
      c = '\0';
    } else if ((state == Path && c == '?') || (state == Value && c == '&')) {
      c = '\0';
      state = Name;
    }
    pieces += c;
  }
  if (state == Name) pieces += '\0';
  pieces.append(2, '\0');

  ParsedUri parsed;
  std::size_t at = pieces.find('\0');
  parsed.path = pieces.substr(0, at);
  ++at;
  while (at < pieces.size() && pieces[at] != '\0') {
    const std::size_t nameEnd = pieces.find('\0', at);
    const std::size_t valueEnd = pieces.find('\0', nameEnd + 1);
    parsed.parameters.emplace_back(pieces.substr(at, nameEnd - at), pieces.substr(nameEnd + 1, valueEnd - nameEnd - 1));
    at = valueEnd + 1;
  }
  return parsed;
}

}  // namespace

DatabaseTarget ResolveDatabaseName(std::string_view name) {
  DatabaseTarget target;
  if (!name.starts_with("file:")) {
    if (name.empty()) {
      target.kind = DatabaseTarget::Kind::Temporary;
    } else if (name == ":memory:") {
      target.kind = DatabaseTarget::Kind::Memory;
    } else {
      target.kind = DatabaseTarget::Kind::File;
      target.path = std::string(name);
    }
    return target;
  }
  target.isUri = true;
  std::string_view rest = name.substr(5);
  if (rest.starts_with("//")) {
    // An authority, empty or exactly "localhost", before the path.
    std::size_t end = 2;
    while (end < rest.size() && rest[end] != '/') ++end;
    const std::string_view authority = rest.substr(2, end - 2);
    if (!authority.empty() && authority != "localhost") {
      target.error = "invalid uri authority: " + std::string(authority);
      return target;
    }
    rest = rest.substr(end);
  }
  const ParsedUri parsed = DecodeUri(rest);
  bool memory = false;
  std::string vfs;
  for (const auto& [key, value] : parsed.parameters) {
    if (key == "vfs") {
      vfs = value;
    } else if (key == "cache") {
      if (value != "shared" && value != "private") {
        target.error = "no such cache mode: " + value;
        return target;
      }
    } else if (key == "mode") {
      if (value != "ro" && value != "rw" && value != "rwc" && value != "memory") {
        target.error = "no such access mode: " + value;
        return target;
      }
      // The driver opens without SQLITE_OPEN_CREATE (NoCreat=1), which
      // SQLite's limit on a URI's mode follows.
      if (value == "rwc") {
        target.error = "access mode not allowed: " + value;
        return target;
      }
      // The last mode given counts.
      memory = value == "memory";
      target.hasMode = value != "memory";
    }
  }
  if (memory || vfs == "memdb" || parsed.path == ":memory:") {
    target.kind = DatabaseTarget::Kind::Memory;
  } else if (parsed.path.empty()) {
    target.kind = DatabaseTarget::Kind::Temporary;
  } else {
    target.kind = DatabaseTarget::Kind::File;
    target.path = parsed.path;
  }
  return target;
}

std::string FileUri(std::string_view path) {
  std::error_code error;
  const std::filesystem::path native{std::string(path)};
  const std::filesystem::path absolute = std::filesystem::absolute(native, error);
  const std::string bytes = (error ? native : absolute).string();
  std::string uri = "file://";
  for (unsigned char byte : bytes) {
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/';
    if (plain) {
      uri += static_cast<char>(byte);
    } else {
      AppendEscapedByte(uri, byte, '%');
    }
  }
  // Read-only: the import never writes, and a missing file is never made.
  uri += "?mode=ro";
  return uri;
}

std::string DriverUri(std::string_view uri, bool addReadOnly) {
  uri = uri.substr(0, uri.find('#'));
  std::string out;
  for (unsigned char byte : uri) {
    if (byte >= 0x80 || byte < 0x21 || byte == 0x7F || byte == ';' || byte == '{' || byte == '}') {
      AppendEscapedByte(out, byte, '%');
    } else {
      out += static_cast<char>(byte);
    }
  }
  if (addReadOnly) out += out.find('?') == std::string::npos ? "?mode=ro" : "&mode=ro";
  return out;
}

namespace {

// The length of the well-formed UTF-8 sequence starting at path[i] (no
// overlong form, no surrogate, at most U+10FFFF), or 0.
std::size_t SequenceLength(std::string_view path, std::size_t i) {
  const auto byte = static_cast<unsigned char>(path[i]);
  if (byte < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (byte >= 0xC2 && byte <= 0xDF) {
    length = 2;
  } else if (byte >= 0xE0 && byte <= 0xEF) {
    length = 3;
    if (byte == 0xE0) low = 0xA0;
    if (byte == 0xED) high = 0x9F;
  } else if (byte >= 0xF0 && byte <= 0xF4) {
    length = 4;
    if (byte == 0xF0) low = 0x90;
    if (byte == 0xF4) high = 0x8F;
  }
  if (length == 0 || i + length > path.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<unsigned char>(path[i + k]);
    if (k == 1 ? (next < low || next > high) : (next < 0x80 || next > 0xBF)) return 0;
  }
  return length;
}

}  // namespace

std::u16string PathText(std::string_view path) {
  // Only what text cannot hold is escaped here; control characters are
  // text, and the host shows them as it shows every other text.
  std::string text;
  std::size_t i = 0;
  while (i < path.size()) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (byte < 0x80) {
      text += static_cast<char>(byte);
      ++i;
    } else if (const std::size_t length = SequenceLength(path, i); length > 0) {
      text.append(path.substr(i, length));
      i += length;
    } else {
      AppendEscapedByte(text, byte, '\\');
      ++i;
    }
  }
  return platform::Utf8ToUtf16(text);
}

}  // namespace qm::sqlite
