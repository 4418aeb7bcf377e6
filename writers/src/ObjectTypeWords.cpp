#include <writers/ObjectTypeWords.h>

#include <tillerhold/ModelVocabulary.h>

#include <cctype>

namespace writers {

std::string ObjectTypeWords(int objectType, bool plural) {
  const char* name = model::ObjectTypeName(objectType);
  if (name == nullptr) return (plural ? "objects of type " : "object of type ") + std::to_string(objectType);
  // lowerCamel to words: "foreignKey" -> "foreign key".
  std::string words;
  for (const char* c = name; *c != '\0'; ++c) {
    if (std::isupper(static_cast<unsigned char>(*c))) {
      words += ' ';
      words += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    } else {
      words += *c;
    }
  }
  if (!plural) return words;
  const char last = words.back();
  if (last == 's' || last == 'x') return words + "es";
  if (last == 'y' && words.size() > 1 && std::string("aeiou").find(words[words.size() - 2]) == std::string::npos) {
    return words.substr(0, words.size() - 1) + "ies";
  }
  return words + "s";
}

}  // namespace writers
