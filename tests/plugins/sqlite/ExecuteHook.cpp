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

namespace qm::test::sqlite::hook {
namespace {

std::vector<std::u16string> g_executed;  // statements since the last Clear
BeforeExecute g_hook;                    // installed hook, or empty

}  // namespace

const std::vector<std::u16string>& Executed() { return g_executed; }

void Clear() { g_executed.clear(); }

Install::Install(BeforeExecute hook) { g_hook = std::move(hook); }

Install::~Install() { g_hook = nullptr; }

}  // namespace qm::test::sqlite::hook

using namespace qm::test::sqlite::hook;

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
  g_executed.push_back(sql);
  if (g_hook) {
    if (std::optional<std::u16string> replacement = g_hook(sql)) {
      return real(statement, reinterpret_cast<SQLWCHAR*>(replacement->data()), SQL_NTS);
    }
  }
  return real(statement, text, length);
}
