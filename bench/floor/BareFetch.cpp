// qm_bare_fetch: the floor an import can reach. It connects, runs the
// statement texts it is given, fetches every row and reads every column
// with SQLGetData as text, and builds nothing: no records, no model, no
// output. The benchmark harness runs it on the texts an import sent (see
// StatementCapture.cpp) and compares its time with the import's.
//
//   qm_bare_fetch --connect STRING --statements FILE [--session] [--wide] [--quiet] [--timings]
//
// FILE holds what StatementCapture records: statements
// ("-- qm-statement <bytes>\n<UTF-8 text>\n"), and the session the import
// set up: the attributes of its connection string ("-- qm-connect <bytes>\n
// ...\n"), changes of autocommit ("-- qm-autocommit on|off\n") and driver-specific
// connection attributes ("-- qm-attribute <number> <value>\n"). Only the
// statements are replayed, on a connection made with STRING as given; with
// --session the connection also gets the recorded attributes that STRING
// does not set, and autocommit and attribute changes where the import made them (a
// transaction left open is rolled back at the end), so that what the
// plug-in's session settings cost can be told from what the module costs.
// Text values are read as SQL_C_CHAR, or as SQL_C_WCHAR with --wide. Any
// failure (connect, a statement, a fetch) ends the run with exit code 1 and
// the driver's diagnostic: a floor that skipped a statement would be no
// floor.
// On success it prints one line: statements, rows, values read, bytes read;
// with --timings first one line per statement: seconds, rows, and the
// start of its text.
#include "ConnectionAttributes.h"

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "SQLWCHAR must be a 16-bit unit");

constexpr std::size_t kBufferBytes = 4096;  // one SQLGetData piece, as the import's fetch loop reads

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

std::u16string ToUtf16(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    char32_t code = 0xFFFD;
    std::size_t length = 1;
    if (byte < 0x80) {
      code = byte;
    } else if ((byte & 0xE0) == 0xC0) {
      length = 2;
    } else if ((byte & 0xF0) == 0xE0) {
      length = 3;
    } else if ((byte & 0xF8) == 0xF0) {
      length = 4;
    }
    if (length > 1) {
      if (i + length > text.size()) {
        length = 1;
      } else {
        code = byte & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
      }
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (code >> 10));
      out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    } else {
      out += static_cast<char16_t>(code);
    }
    i += length;
  }
  return out;
}

// "<function>: [SQLSTATE] message" of the handle's first diagnostic record.
std::string Diagnostic(SQLSMALLINT type, SQLHANDLE handle, const char* function) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLCHAR message[1024] = {};
  SQLSMALLINT length = 0;
  std::string text = function;
  if (Succeeded(SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length)))
    text += std::string(": [") + reinterpret_cast<char*>(state) + "] " + reinterpret_cast<char*>(message);
  else
    text += " failed without a diagnostic record";
  return text;
}

// One recorded step of the import's session, in the order it happened.
struct Step {
  enum Kind { Statement, Autocommit, Attribute } kind;  // run a statement, switch autocommit, set an attribute
  std::string text;                                     // the statement's text (Statement)
  bool on = true;                                       // the new autocommit mode (Autocommit)
  long attribute = 0;                                   // the attribute and its integer value (Attribute)
  unsigned long value = 0;
};

// What a capture file holds.
struct Capture {
  std::vector<Step> steps;           // statements and autocommit changes, in order
  std::string connectionAttributes;  // the first recorded connection string; empty when none
};

Capture ReadCapture(const char* path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(std::string("cannot read ") + path);
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string where = std::string(path) + ": ";
  Capture capture;
  bool connectSeen = false;
  std::size_t pos = 0;
  while (pos < data.size()) {
    const std::size_t eol = data.find('\n', pos);
    if (eol == std::string::npos) throw std::runtime_error(where + "record header without a line end");
    const std::string header = data.substr(pos, eol - pos);
    pos = eol + 1;
    const std::size_t space = header.find(' ', 3);
    if (header.compare(0, 6, "-- qm-") != 0 || space == std::string::npos)
      throw std::runtime_error(where + "expected a record header, found \"" + header.substr(0, 40) + "\"");
    const std::string kind = header.substr(6, space - 6);
    const std::string argument = header.substr(space + 1);
    if (kind == "autocommit") {
      if (argument != "on" && argument != "off") throw std::runtime_error(where + "autocommit is on or off");
      capture.steps.push_back({Step::Autocommit, {}, argument == "on"});
      continue;
    }
    if (kind == "attribute") {
      const std::size_t blank = argument.find(' ');
      if (blank == std::string::npos || argument.find_first_not_of("0123456789 ") != std::string::npos)
        throw std::runtime_error(where + "an attribute record is a number and a value");
      capture.steps.push_back(
          {Step::Attribute, {}, true, std::stol(argument.substr(0, blank)), std::stoul(argument.substr(blank + 1))});
      continue;
    }
    if (kind != "statement" && kind != "connect") throw std::runtime_error(where + "unknown record " + kind);
    if (argument.empty() || argument.find_first_not_of("0123456789") != std::string::npos)
      throw std::runtime_error(where + "a " + kind + " record needs its length in bytes");
    const std::size_t bytes = std::stoul(argument);
    if (pos + bytes + 1 > data.size() || data[pos + bytes] != '\n')
      throw std::runtime_error(where + kind + " shorter than its header says");
    std::string text = data.substr(pos, bytes);
    pos += bytes + 1;
    if (kind == "statement") {
      capture.steps.push_back({Step::Statement, std::move(text)});
    } else if (!connectSeen) {
      capture.connectionAttributes = std::move(text);
      connectSeen = true;
    }
  }
  if (std::none_of(capture.steps.begin(), capture.steps.end(), [](const Step& s) { return s.kind == Step::Statement; }))
    throw std::runtime_error(where + "holds no statements");
  return capture;
}

// The connection string given, followed by the recorded attributes whose
// keys it does not set.
std::string WithSessionAttributes(const std::string& given, const std::string& recorded) {
  std::vector<std::string> keys;
  for (const qm::bench::ConnectionAttribute& attribute : qm::bench::SplitAttributes(given)) keys.push_back(attribute.key);
  std::string text = given;
  for (const qm::bench::ConnectionAttribute& attribute : qm::bench::SplitAttributes(recorded)) {
    if (qm::bench::IsPasswordKey(attribute.key) || std::find(keys.begin(), keys.end(), attribute.key) != keys.end())
      continue;
    if (!text.empty() && text.back() != ';') text += ';';
    text += attribute.segment;
  }
  return text;
}

struct Totals {
  long statements = 0;  // statements run
  long rows = 0;        // rows fetched
  long values = 0;      // SQLGetData calls that returned a value or NULL
  long bytes = 0;       // bytes of text received
};

// Runs one statement on a new handle and reads all of its rows.
void Run(SQLHDBC connection, const std::string& text, SQLSMALLINT textType, Totals& totals) {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  if (!Succeeded(SQLAllocHandle(SQL_HANDLE_STMT, connection, &statement)))
    throw std::runtime_error(Diagnostic(SQL_HANDLE_DBC, connection, "SQLAllocHandle"));
  try {
    std::u16string wide = ToUtf16(text);
    SQLRETURN rc = SQLExecDirectW(statement, reinterpret_cast<SQLWCHAR*>(wide.data()), SQL_NTS);
    if (!Succeeded(rc) && rc != SQL_NO_DATA)
      throw std::runtime_error(Diagnostic(SQL_HANDLE_STMT, statement, "SQLExecDirectW"));
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    alignas(8) unsigned char buffer[kBufferBytes];
    const std::size_t terminator = textType == SQL_C_WCHAR ? sizeof(SQLWCHAR) : 1;
    while (columns > 0 && Succeeded(rc = SQLFetch(statement))) {
      ++totals.rows;
      for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        SQLLEN indicator = 0;
        SQLRETURN get = SQLGetData(statement, c, textType, buffer, sizeof buffer, &indicator);
        // A value longer than the buffer comes in pieces (01004).
        while (get == SQL_SUCCESS_WITH_INFO &&
               (indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) + terminator > sizeof buffer)) {
          totals.bytes += static_cast<long>(sizeof buffer - terminator);
          get = SQLGetData(statement, c, textType, buffer, sizeof buffer, &indicator);
        }
        if (!Succeeded(get) && get != SQL_NO_DATA)
          throw std::runtime_error(Diagnostic(SQL_HANDLE_STMT, statement, "SQLGetData"));
        ++totals.values;
        if (Succeeded(get) && indicator > 0) totals.bytes += static_cast<long>(indicator);
      }
    }
    if (columns > 0 && rc != SQL_NO_DATA) throw std::runtime_error(Diagnostic(SQL_HANDLE_STMT, statement, "SQLFetch"));
    ++totals.statements;
  } catch (...) {
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    throw;
  }
  SQLFreeHandle(SQL_HANDLE_STMT, statement);
}

int Usage() {
  std::fprintf(stderr,
               "usage: qm_bare_fetch --connect STRING --statements FILE [--session] [--wide] [--quiet] [--timings]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The SQLite3 driver is an ANSI driver: the driver manager converts wide
  // statement text by the process locale, which must therefore be UTF-8.
  const char* locale = std::setlocale(LC_ALL, "");
  if (locale == nullptr || std::strcmp(locale, "C") == 0 || std::strcmp(locale, "POSIX") == 0)
    std::setlocale(LC_ALL, "C.UTF-8");

  const char* connect = nullptr;
  const char* statementsFile = nullptr;
  SQLSMALLINT textType = SQL_C_CHAR;
  bool quiet = false;
  bool timings = false;
  bool session = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--connect" && i + 1 < argc) {
      connect = argv[++i];
    } else if (arg == "--statements" && i + 1 < argc) {
      statementsFile = argv[++i];
    } else if (arg == "--wide") {
      textType = SQL_C_WCHAR;
    } else if (arg == "--quiet") {
      quiet = true;
    } else if (arg == "--timings") {
      timings = true;
    } else if (arg == "--session") {
      session = true;
    } else {
      return Usage();
    }
  }
  if (connect == nullptr || statementsFile == nullptr) return Usage();

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool connected = false;
  bool autocommit = true;
  int exitCode = 0;
  try {
    const Capture capture = ReadCapture(statementsFile);
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env)))
      throw std::runtime_error("SQLAllocHandle(SQL_HANDLE_ENV) failed");
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!Succeeded(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc)))
      throw std::runtime_error(Diagnostic(SQL_HANDLE_ENV, env, "SQLAllocHandle(SQL_HANDLE_DBC)"));
    std::u16string connectWide =
        ToUtf16(session ? WithSessionAttributes(connect, capture.connectionAttributes) : std::string(connect));
    if (!Succeeded(SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connectWide.data()), SQL_NTS, nullptr,
                                     0, nullptr, SQL_DRIVER_NOPROMPT)))
      throw std::runtime_error(Diagnostic(SQL_HANDLE_DBC, dbc, "SQLDriverConnectW"));
    connected = true;
    Totals totals;
    for (const Step& step : capture.steps) {
      if (step.kind == Step::Attribute) {
        if (!session) continue;
        if (!Succeeded(SQLSetConnectAttr(dbc, static_cast<SQLINTEGER>(step.attribute),
                                         reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(step.value)), 0)))
          throw std::runtime_error(Diagnostic(SQL_HANDLE_DBC, dbc, "SQLSetConnectAttr"));
        continue;
      }
      if (step.kind == Step::Autocommit) {
        if (!session) continue;
        const SQLULEN mode = step.on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF;
        if (!Succeeded(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(mode), 0)))
          throw std::runtime_error(Diagnostic(SQL_HANDLE_DBC, dbc, "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)"));
        autocommit = step.on;
        continue;
      }
      const auto start = std::chrono::steady_clock::now();
      const long rowsBefore = totals.rows;
      Run(dbc, step.text, textType, totals);
      if (timings) {
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::string head = step.text.substr(0, 100);
        for (char& ch : head)
          if (ch == '\n' || ch == '\t') ch = ' ';
        std::printf("statement %.6f %ld %s\n", took.count(), totals.rows - rowsBefore, head.c_str());
      }
    }
    if (!quiet)
      std::printf("statements %ld rows %ld values %ld bytes %ld\n", totals.statements, totals.rows, totals.values,
                  totals.bytes);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qm_bare_fetch: %s\n", e.what());
    exitCode = 1;
  }
  // Nothing is changed; a transaction the session left open ends here.
  if (connected && !autocommit) SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK);
  if (connected) SQLDisconnect(dbc);
  if (dbc != SQL_NULL_HDBC) SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  if (env != SQL_NULL_HENV) SQLFreeHandle(SQL_HANDLE_ENV, env);
  return exitCode;
}
