// The sample database a plug-in brings (QmPluginApi::WriteSample), imported
// when no database is named: written at run time into a private temporary
// folder that is removed again when the object goes (and by the signal
// handler if the process ends at once).
#pragma once

#include <string>

struct QmPluginApi;

namespace app {

class SampleDatabase {
 public:
  SampleDatabase() = default;
  ~SampleDatabase();
  SampleDatabase(const SampleDatabase&) = delete;
  SampleDatabase& operator=(const SampleDatabase&) = delete;

  // Creates the folder (mode 0700 under $TMPDIR or /tmp) and has the
  // plug-in write its sample in it. On failure returns false with the
  // reason in error and leaves nothing behind.
  bool Create(const QmPluginApi& plugin, std::string& error);
  // The database file; empty before Create.
  const std::string& Path() const { return m_path; }

 private:
  void Remove();

  std::string m_directory;  // the private folder; empty when none
  std::string m_path;       // the database file in it; empty when none
};

}  // namespace app
