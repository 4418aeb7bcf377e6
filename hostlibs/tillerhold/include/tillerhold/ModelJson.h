// The whole model as JSON, for hosts that hand the model on as a file.
//
// Each object is written as
//   {"id": 2, "type": "table", "properties": {"name": "orders", ...},
//    "children": [ ...objects... ]}
// nested under its parent, starting at the root object. Types and property
// ids are named by the model vocabulary; a number it does not know is written
// as "type<N>" or "property<N>". Properties appear in the order they were
// first attached, children in creation order. Values: text as a UTF-8
// string (an unpaired surrogate becomes U+FFFD), integers as numbers, object
// id lists as arrays of ids, a property without a value as null.
//
// The writer walks the model without recursion, so the nesting depth of the
// model is not limited by the stack.
#pragma once

#include <tillerhold/GenericModel.h>

#include <iosfwd>
#include <string>

namespace model {

// indent >= 0: one member per line, indented by that many blanks per level;
// indent < 0: compact, on one line. The layout is the one nlohmann::json's
// dump gives for the same indent.
std::string WriteJson(const GenericModel& model, int indent = 2);

// The same text, written to the stream as it is produced. Stream errors are
// left in the stream's state for the caller to check.
void WriteJson(const GenericModel& model, std::ostream& out, int indent);

}  // namespace model
