// Column types compared as the database compares them: what two type
// texts of one dialect have in common when they name the same type.
#pragma once

#include <string>
#include <string_view>

namespace lint {

// The key two columns share when their types are the same to the
// database: SQLite's type affinity ("INTEGER", "TEXT", "BLOB", "REAL",
// "NUMERIC"); MariaDB's type in lower case without an integer's display
// width (int(11) and int are one type); PostgreSQL's type as the server
// prints it; elsewhere the text in upper case with blanks made single.
std::u16string TypeKey(std::string_view dialect, std::u16string_view type);

}  // namespace lint
