// A model as quillmere-import writes it in JSON, read back for checks.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

namespace qm::test {

struct ModelObject {
  int id = 0;                  // object id
  int parent = 0;              // parent's id; 0 for the root
  std::string type;            // vocabulary name: "table", "foreignKey", ...
  nlohmann::json properties;   // the "properties" object as written
  std::vector<int> children;   // child ids in order
};

class ModelFile {
 public:
  // Parses the text; throws nlohmann::json::exception when it is not a
  // model as the writer produces it.
  static ModelFile Parse(const std::string& text);

  const ModelObject& Root() const { return m_objects.at(m_root); }
  // The object with the id; throws std::out_of_range when there is none.
  const ModelObject& Object(int id) const { return m_objects.at(id); }
  // Every object of the type, in id order.
  std::vector<const ModelObject*> OfType(const std::string& type) const;
  // Children of the object with the type, in order.
  std::vector<const ModelObject*> Children(const ModelObject& parent, const std::string& type) const;
  // The text property, or "" when absent or not text.
  static std::string Text(const ModelObject& object, const std::string& property);
  // The id-list property, or empty.
  static std::vector<int> Ids(const ModelObject& object, const std::string& property);
  // Names of the objects with the ids, in order.
  std::vector<std::string> Names(const std::vector<int>& ids) const;

 private:
  std::map<int, ModelObject> m_objects;  // id -> object
  int m_root = 0;                        // id of the root object
};

}  // namespace qm::test
