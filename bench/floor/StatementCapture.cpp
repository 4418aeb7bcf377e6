// libqmbench_statement_capture.so: records the SQL text of every statement a
// process sends through unixODBC, and the session settings it connects
// with, so the bare fetch loop can replay exactly what an import ran.
//
//   LD_PRELOAD=libqmbench_statement_capture.so QM_CAPTURE_STATEMENTS=FILE quillmere-import ...
//
// It stands in front of SQLExecDirect[W], SQLPrepare[W], SQLDriverConnect[W]
// and SQLSetConnectAttr[W], and forwards each call to the driver manager
// unchanged. It appends to FILE, in the order the calls were made:
//   -- qm-statement <bytes>\n<UTF-8 text>\n      each statement text
//   -- qm-connect <bytes>\n<attributes>\n        the connection string, its
//                                                password attributes left out
//   -- qm-autocommit on|off\n                     each change of autocommit
//   -- qm-attribute <number> <value>\n           each driver-specific connection attribute set
// Without QM_CAPTURE_STATEMENTS it records nothing. The library links unixODBC itself, so the driver manager is in
// the process's global scope from the start even when the import module
// that uses it is dlopen'ed later; the forwarding targets are looked up
// with RTLD_NEXT, i.e. in the libraries loaded after this one.
#include "ConnectionAttributes.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>

namespace {

std::mutex g_mutex;         // guards g_file and the writes to it
std::FILE* g_file = nullptr;  // opened on the first statement; never closed (the process's exit flushes it)
bool g_failed = false;       // the file could not be opened: stop trying

// A call made while this thread is already inside a captured call (a
// driver manager forwarding to itself) is not recorded twice.
thread_local int t_depth = 0;

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// UTF-16 text of length units (SQL_NTS: up to the terminator) as UTF-8; a
// lone surrogate becomes U+FFFD.
std::string FromWide(const SQLWCHAR* text, SQLINTEGER length) {
  std::string out;
  if (text == nullptr) return out;
  std::size_t n = 0;
  if (length == SQL_NTS) {
    while (text[n] != 0) ++n;
  } else if (length > 0) {
    n = static_cast<std::size_t>(length);
  }
  for (std::size_t i = 0; i < n; ++i) {
    char32_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < n && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      AppendUtf8(out, 0xFFFD);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::string FromNarrow(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return {};
  const auto* chars = reinterpret_cast<const char*>(text);
  return length == SQL_NTS ? std::string(chars) : std::string(chars, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Appends one record: "-- qm-<kind> <bytes>\n<text>\n", or "-- qm-<kind> <text>\n"
// when sized is false.
void Write(const char* kind, const std::string& text, bool sized = true) {
  const char* path = std::getenv("QM_CAPTURE_STATEMENTS");
  if (path == nullptr || *path == '\0') return;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_failed) return;
  if (g_file == nullptr) {
    g_file = std::fopen(path, "ae");
    if (g_file == nullptr) {
      std::perror(path);
      g_failed = true;
      return;
    }
  }
  if (sized) {
    std::fprintf(g_file, "-- qm-%s %zu\n", kind, text.size());
    std::fwrite(text.data(), 1, text.size(), g_file);
    std::fputc('\n', g_file);
  } else {
    std::fprintf(g_file, "-- qm-%s %s\n", kind, text.c_str());
  }
  std::fflush(g_file);
}

void Record(const std::string& text) { Write("statement", text); }

// The connection string without its password attributes (the bare loop is
// given the password by whoever runs it).
std::string WithoutPasswords(const std::string& text) {
  std::string kept;
  for (const qm::bench::ConnectionAttribute& attribute : qm::bench::SplitAttributes(text)) {
    if (qm::bench::IsPasswordKey(attribute.key)) continue;
    if (!kept.empty()) kept += ';';
    kept += attribute.segment;
  }
  return kept;
}

// Driver-specific attributes (numbered from 65536 up) are taken to hold an
// integer, as psqlODBC's do.
void RecordAutocommit(SQLINTEGER attribute, SQLPOINTER value) {
  const auto number = static_cast<SQLULEN>(reinterpret_cast<std::uintptr_t>(value));
  if (attribute == SQL_ATTR_AUTOCOMMIT) {
    Write("autocommit", number == SQL_AUTOCOMMIT_OFF ? "off" : "on", false);
  } else if (attribute >= 65536) {
    Write("attribute", std::to_string(attribute) + " " + std::to_string(number), false);
  }
}

template <typename F>
F Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "statement capture: no %s after this library (%s)\n", name, dlerror());
    std::abort();
  }
  return reinterpret_cast<F>(symbol);
}

// Marks the current thread as inside a captured call.
class Depth {
 public:
  Depth() { ++t_depth; }
  ~Depth() { --t_depth; }
  Depth(const Depth&) = delete;
  Depth& operator=(const Depth&) = delete;
  bool Outermost() const { return t_depth == 1; }
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text,
                                                                        SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLExecDirectW");
  Depth depth;
  if (depth.Outermost()) Record(FromWide(text, length));
  return next(statement, text, length);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLExecDirect(SQLHSTMT statement, SQLCHAR* text,
                                                                       SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHSTMT, SQLCHAR*, SQLINTEGER)>("SQLExecDirect");
  Depth depth;
  if (depth.Outermost()) Record(FromNarrow(text, length));
  return next(statement, text, length);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLPrepareW(SQLHSTMT statement, SQLWCHAR* text,
                                                                     SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER)>("SQLPrepareW");
  Depth depth;
  if (depth.Outermost()) Record(FromWide(text, length));
  return next(statement, text, length);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLPrepare(SQLHSTMT statement, SQLCHAR* text,
                                                                    SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHSTMT, SQLCHAR*, SQLINTEGER)>("SQLPrepare");
  Depth depth;
  if (depth.Outermost()) Record(FromNarrow(text, length));
  return next(statement, text, length);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLDriverConnectW(
    SQLHDBC connection, SQLHWND window, SQLWCHAR* in, SQLSMALLINT inLength, SQLWCHAR* out, SQLSMALLINT outMax,
    SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  static const auto next =
      Next<SQLRETURN (*)(SQLHDBC, SQLHWND, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT)>(
          "SQLDriverConnectW");
  Depth depth;
  if (depth.Outermost()) Write("connect", WithoutPasswords(FromWide(in, inLength)));
  return next(connection, window, in, inLength, out, outMax, outLength, completion);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLDriverConnect(
    SQLHDBC connection, SQLHWND window, SQLCHAR* in, SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outMax,
    SQLSMALLINT* outLength, SQLUSMALLINT completion) {
  static const auto next =
      Next<SQLRETURN (*)(SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLSMALLINT*, SQLUSMALLINT)>(
          "SQLDriverConnect");
  Depth depth;
  if (depth.Outermost()) Write("connect", WithoutPasswords(FromNarrow(in, inLength)));
  return next(connection, window, in, inLength, out, outMax, outLength, completion);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC connection, SQLINTEGER attribute,
                                                                            SQLPOINTER value, SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetConnectAttrW");
  Depth depth;
  if (depth.Outermost()) RecordAutocommit(attribute, value);
  return next(connection, attribute, value, length);
}

__attribute__((visibility("default"))) SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC connection, SQLINTEGER attribute,
                                                                           SQLPOINTER value, SQLINTEGER length) {
  static const auto next = Next<SQLRETURN (*)(SQLHDBC, SQLINTEGER, SQLPOINTER, SQLINTEGER)>("SQLSetConnectAttr");
  Depth depth;
  if (depth.Outermost()) RecordAutocommit(attribute, value);
  return next(connection, attribute, value, length);
}

}  // extern "C"
