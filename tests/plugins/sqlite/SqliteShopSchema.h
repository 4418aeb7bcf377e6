// The database the SQLite plug-in tests import.
#pragma once

#include <string>

namespace qm::test::sqlite {

// Keys, foreign keys of every kind SQLite allows (deferred ones too),
// checks, generated columns, a STRICT and a WITHOUT ROWID table, partial and
// expression indexes, a virtual table, views, triggers, and names with
// quotes, blanks, non-ASCII letters and emoji.
std::string SqliteShopScript();

}  // namespace qm::test::sqlite
