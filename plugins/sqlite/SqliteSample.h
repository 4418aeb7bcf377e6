// The plug-in's sample database: a small bookshop schema (sample/sample.sql,
// compiled into the library), which a host imports when it is given no
// database (QmPluginDescriptor::writeSample).
#pragma once

#include <string>
#include <string_view>

namespace qm::sqlite {

// The sample's SQL script, as compiled in.
std::string_view SampleScript();

// Creates the SQLite database file at path (which must not exist) from the
// script. The rollback journal stays in memory, so the file is the only one
// made: a host that ends at once removes it and its folder. On failure
// returns false with the reason in error; what is left at path is the
// caller's to remove.
bool WriteSample(const std::string& path, std::string& error);

}  // namespace qm::sqlite
