#include "ModelFile.h"

#include <utility>

namespace qm::test {

ModelFile ModelFile::Parse(const std::string& text) {
  ModelFile file;
  const nlohmann::json root = nlohmann::json::parse(text);
  // Walked with a stack: the writer nests without limit, so does this.
  std::vector<std::pair<const nlohmann::json*, int>> pending = {{&root, 0}};
  file.m_root = root.at("id").get<int>();
  while (!pending.empty()) {
    const auto [node, parent] = pending.back();
    pending.pop_back();
    ModelObject object;
    object.id = node->at("id").get<int>();
    object.parent = parent;
    object.type = node->at("type").get<std::string>();
    object.properties = node->value("properties", nlohmann::json::object());
    if (node->contains("children")) {
      const nlohmann::json& children = node->at("children");
      for (const nlohmann::json& child : children) object.children.push_back(child.at("id").get<int>());
      for (auto it = children.rbegin(); it != children.rend(); ++it) pending.push_back({&*it, object.id});
    }
    file.m_objects[object.id] = std::move(object);
  }
  return file;
}

std::vector<const ModelObject*> ModelFile::OfType(const std::string& type) const {
  std::vector<const ModelObject*> found;
  for (const auto& [id, object] : m_objects) {
    if (object.type == type) found.push_back(&object);
  }
  return found;
}

std::vector<const ModelObject*> ModelFile::Children(const ModelObject& parent, const std::string& type) const {
  std::vector<const ModelObject*> found;
  for (int id : parent.children) {
    const ModelObject& child = m_objects.at(id);
    if (child.type == type) found.push_back(&child);
  }
  return found;
}

std::string ModelFile::Text(const ModelObject& object, const std::string& property) {
  const auto it = object.properties.find(property);
  return it != object.properties.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::vector<int> ModelFile::Ids(const ModelObject& object, const std::string& property) {
  const auto it = object.properties.find(property);
  return it != object.properties.end() && it->is_array() ? it->get<std::vector<int>>() : std::vector<int>();
}

std::vector<std::string> ModelFile::Names(const std::vector<int>& ids) const {
  std::vector<std::string> names;
  for (int id : ids) names.push_back(Text(m_objects.at(id), "name"));
  return names;
}

}  // namespace qm::test
