// Object types of the model vocabulary in words for people, as outlines
// and progress messages name them.
#pragma once

#include <string>

namespace writers {

// "foreign key", or with plural "foreign keys"; "object of type N" or
// "objects of type N" for a type the vocabulary does not know.
std::string ObjectTypeWords(int objectType, bool plural);

}  // namespace writers
