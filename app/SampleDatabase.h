// The bundled sample: a SQLite database built at run time from the SQL
// script compiled into the executable (app/sample/sample.sql), in a private
// temporary directory that is removed again when the object goes (and by
// the signal handler if the process ends at once).
#pragma once

#include <string>
#include <string_view>

namespace app {

// The sample's SQL script, as compiled in.
std::string_view SampleScript();

class SampleDatabase {
 public:
  SampleDatabase() = default;
  ~SampleDatabase();
  SampleDatabase(const SampleDatabase&) = delete;
  SampleDatabase& operator=(const SampleDatabase&) = delete;

  // Creates the directory (mode 0700 under $TMPDIR or /tmp) and the
  // database in it. On failure returns false with the reason in error and
  // leaves nothing behind.
  bool Create(std::string& error);
  // The database file; empty before Create.
  const std::string& Path() const { return m_path; }

 private:
  void Remove();

  std::string m_directory;  // the private directory; empty when none
  std::string m_path;       // the database file in it; empty when none
};

}  // namespace app
