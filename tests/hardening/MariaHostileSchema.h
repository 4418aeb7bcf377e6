// A MariaDB schema full of hostile identifiers and texts in every kind of
// object, made by the hardening tests and the MariaDB backend.
#pragma once

#include "HostileNames.h"

#include <cstddef>
#include <string>
#include <vector>

namespace qm::test::hardening {

// The hostile names, each used in one set of objects.
const std::vector<std::string>& Names();

// The name of the i-th object of a kind whose names the server compares
// without regard to letter case (constraints, triggers, routines,
// partitions): "fn3 it's".
std::string Numbered(const std::string& kind, std::size_t i, const std::string& name);

// The script that makes the schema `schema` (created by it) and its
// objects, for the mariadb client; it sets its session's sql_mode to
// ANSI_QUOTES and NO_BACKSLASH_ESCAPES first.
std::string MariaHostileScript(const std::string& schema);

}  // namespace qm::test::hardening
