#include <writers/JsonReader.h>
#include <writers/JsonWriter.h>
#include <writers/OutputFormats.h>
#include <writers/SqlWriter.h>
#include <writers/TreeWriter.h>

#include <algorithm>
#include <iterator>

namespace writers {

namespace {

// The writers have no state, so one constant object of each serves every
// call; like the table, they are constant-initialised.
constinit const JsonWriter kJson;
constinit const JsonReader kJsonReader;
constinit const TreeWriter kTree;
constinit const SqlWriter kSql;

// A new format is one entry here; README.md's "Output formats" and --help
// are checked against this table by the tests.
constexpr OutputFormat kFormats[] = {
    {.name = "json",
     .description = "the whole model for programs: every object, property and reference",
     .writer = &kJson,
     .reader = &kJsonReader},
    {.name = "tree",
     .description = "an outline for people: schemas, tables with columns, keys and indexes, views",
     .writer = &kTree},
    // Names and texts go exactly as the database holds them, control
    // characters included, which a terminal would act on.
    {.name = "sql",
     .description = "the DDL that recreates the schema, in the dialect of the database read",
     .writer = &kSql,
     .forTerminal = false},
};

}  // namespace

std::span<const OutputFormat> OutputFormats() { return kFormats; }

const OutputFormat& DefaultOutputFormat() { return kFormats[0]; }

const OutputFormat* FindOutputFormat(std::string_view name) {
  const auto found = std::find_if(std::begin(kFormats), std::end(kFormats),
                                  [name](const OutputFormat& format) { return format.name == name; });
  return found == std::end(kFormats) ? nullptr : &*found;
}

}  // namespace writers
