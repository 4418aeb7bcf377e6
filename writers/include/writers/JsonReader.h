// The json format read back: a saved model, as JsonWriter writes it
// (tillerhold/ModelJson.h), into a model again.
//
// Objects get the ids the file gives them when those are 2, 3, ... without
// a gap, as every model the writer saved has them; otherwise they are
// numbered afresh in the order of the file's ids and every reference
// follows. Types and property ids are read by the vocabulary's names, and
// "type<N>" / "property<N>" as the numbers N. Values: a string is text, an
// integer is an integer, an array of integers is a list of object ids, null
// is a property without a value. Anything else (another JSON type, an
// unknown name, an object whose parent comes after it, two objects with
// one id, a reference to an id the file does not hold, text that is not
// UTF-8) is a ReadError saying where.
#pragma once

#include <writers/ModelReader.h>

namespace writers {

class JsonReader : public ModelReader {
 public:
  void Read(std::istream& in, GenericModel& model) const override;
};

}  // namespace writers
