// ModelReader: what a format implements that can be read back into a
// model (the json format: a saved model, compared by `quillmere-import
// diff`). The table of output formats names the reader beside the writer
// (OutputFormats.h); a format without one is written only.
//
// Thread safety: readers hold no state between calls; Read is const and
// may run on any thread, for several models at once.
#pragma once

#include <iosfwd>
#include <stdexcept>

class GenericModel;

namespace writers {

// Thrown by Read when the input is not a model in this format; what() is
// one line for the user (where in the input, and what is wrong).
class ReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class ModelReader {
 public:
  virtual ~ModelReader() = default;

  // Reads the whole input into `model`, which must hold nothing but its
  // root (std::invalid_argument otherwise). The model's type is left as it
  // is: a saved model does not say which plug-in made it. On ReadError the
  // model may hold part of the input; discard it. Throws std::bad_alloc
  // when memory runs out.
  virtual void Read(std::istream& in, GenericModel& model) const = 0;
};

}  // namespace writers
