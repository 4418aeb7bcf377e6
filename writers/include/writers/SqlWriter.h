// The "sql" output format: the DDL that recreates the model's schema in an
// empty database, in the dialect of the database it was read from
// (WriteOptions::sqlDialect, which the plug-in that made it declares:
// PostgreSQL, SQLite and MariaDB; standard SQL for a model of another source).
//
// Objects come in the order they need each other: schemas, types and
// sequences, tables (with their columns and checks), keys, foreign keys
// after all tables, indexes, views, routines and triggers; an object that
// needs another (a view using a view, a column default calling a function,
// a partition and its parent) comes after it. Names are written exactly as
// the model holds them, quoted only where the dialect needs it. What the
// database kept as text (SQLite's CREATE statements, PostgreSQL's
// constraint, index, routine and trigger definitions) is written as the
// model holds it; the rest is built from the properties. An object that
// cannot be written (a PostgreSQL aggregate, whose functions the model
// does not hold; a tablespace, which names a folder of the server) is
// named in a comment line saying why. The whole script runs in one
// transaction. No text of the database is written unless it proves to be
// the one expression, type or statement expected there, as the server and
// the client that loads the script read it (src/sql/SqlProof.h); one that
// does not is left out, named on a "-- not written:" line and told to
// options.leftOut. Time is linear in the model's size and texts.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class SqlWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers
