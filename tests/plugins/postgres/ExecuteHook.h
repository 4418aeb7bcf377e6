// Stands in front of the driver manager's SQLExecDirectW for this test
// executable: the module's and the plug-in's calls arrive here and go on to
// the real function. A test may look at each statement before it runs
// (and replace its text) and act after it has run; everything else runs
// for real.
//
// Used from the import's thread while a test waits for it; the hooks are
// installed and removed only while no import runs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace qm::test::postgres::hook {

// Called with each statement's text before it runs; a returned text is
// executed instead.
using BeforeExecute = std::function<std::optional<std::u16string>(const std::u16string& statement)>;
// Called with each statement's text (as handed in) after the real call.
using AfterExecute = std::function<void(const std::u16string& statement)>;

// The statements executed since the last Clear, in order, as handed in.
std::vector<std::u16string> Executed();
void Clear();

// Installs the hooks until the guard goes.
class Install {
 public:
  explicit Install(BeforeExecute before, AfterExecute after = nullptr);
  ~Install();
  Install(const Install&) = delete;
  Install& operator=(const Install&) = delete;
};

}  // namespace qm::test::postgres::hook
