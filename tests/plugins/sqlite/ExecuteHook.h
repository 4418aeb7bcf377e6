// Stands in front of the driver manager's SQLExecDirectW for this test
// executable: the module's and the plug-in's calls arrive here and go on
// to the real function, after the hook (if any) has seen the statement and
// possibly replaced its text. Everything else runs for real.
//
// Single-threaded use only, as the import itself.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm::test::sqlite::hook {

// Called with each statement's text before it runs; a returned text is
// executed instead.
using BeforeExecute = std::function<std::optional<std::u16string>(const std::u16string& statement)>;

// The statements executed since the last Clear, in order (as handed in,
// before any replacement).
const std::vector<std::u16string>& Executed();
void Clear();

// Installs the hook until the guard goes.
class Install {
 public:
  explicit Install(BeforeExecute hook);
  ~Install();
  Install(const Install&) = delete;
  Install& operator=(const Install&) = delete;
};

}  // namespace qm::test::sqlite::hook
