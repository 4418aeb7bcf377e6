// The "tree" output format: a readable, indented outline of the model.
//
//   database /srv/shop.db
//   schema main
//     table customers
//       columns
//         customer_id  INTEGER  NOT NULL  PK 1
//         email        TEXT     NOT NULL
//       primary key (customer_id)
//       unique uq_customer_email (email)
//       foreign key (parent_id) → categories (category_id)  ON DELETE CASCADE
//       index idx_customers_active (customer_id)  where deleted_at IS NULL
//       trigger trg_x  AFTER INSERT
//     view "open orders"
//
// Names that are not plain identifiers are written in double quotes, with
// inner quotes doubled, as SQL writes them, and backslashes doubled. What
// the database holds is what a reader sees: control characters, direction
// overrides and invisible characters in names and texts are written as
// escapes (\n, \x1b, \u202e; writers/VisibleText.h), so no name can start
// a line of its own, move the cursor or hide in plain sight; such a name is
// always quoted. Objects of types the outline does not know are listed with
// their type and name, so nothing is hidden.
#pragma once

#include <writers/ModelWriter.h>

namespace writers {

class TreeWriter : public ModelWriter {
 public:
  void Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const override;
};

}  // namespace writers
