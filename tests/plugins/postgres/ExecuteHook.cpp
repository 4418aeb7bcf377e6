// Link-level stand-in: this definition in the executable comes before the
// driver manager's in symbol lookup, so libschemaimport.so's and the
// plug-in's calls arrive here and go on to the real function found with
// RTLD_NEXT.
#include "ExecuteHook.h"

#include <sql.h>
#include <sqlext.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace qm::test::postgres::hook {
namespace {

std::mutex g_mutex;                      // guards g_executed
std::vector<std::u16string> g_executed;  // statements since the last Clear
BeforeExecute g_before;                  // installed hook, or empty
AfterExecute g_after;                    // installed hook, or empty

}  // namespace

std::vector<std::u16string> Executed() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_executed;
}

void Clear() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_executed.clear();
}

Install::Install(BeforeExecute before, AfterExecute after) {
  g_before = std::move(before);
  g_after = std::move(after);
}

Install::~Install() {
  g_before = nullptr;
  g_after = nullptr;
}

}  // namespace qm::test::postgres::hook

using namespace qm::test::postgres::hook;

extern "C" SQLRETURN SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  using Function = SQLRETURN (*)(SQLHSTMT, SQLWCHAR*, SQLINTEGER);
  static const auto real = [] {
    void* symbol = dlsym(RTLD_NEXT, "SQLExecDirectW");
    if (symbol == nullptr) {
      std::fprintf(stderr, "ExecuteHook: SQLExecDirectW not found in the driver manager\n");
      std::abort();
    }
    return reinterpret_cast<Function>(symbol);
  }();
  const auto* units = reinterpret_cast<const char16_t*>(text);
  std::u16string sql;
  if (units != nullptr) sql = length == SQL_NTS ? std::u16string(units) : std::u16string(units, static_cast<std::size_t>(length));
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_executed.push_back(sql);
  }
  SQLRETURN rc;
  std::optional<std::u16string> replacement;
  if (g_before) replacement = g_before(sql);
  if (replacement) {
    rc = real(statement, reinterpret_cast<SQLWCHAR*>(replacement->data()), SQL_NTS);
  } else {
    rc = real(statement, text, length);
  }
  if (g_after) g_after(sql);
  return rc;
}
