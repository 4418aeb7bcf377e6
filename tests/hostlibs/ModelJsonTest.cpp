// The model's JSON writer. Names of every kind reach the host's output in
// the hardening tests; these are the writer's own edges.
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

using ordered_json = nlohmann::ordered_json;

CMOProperty* Property(int id, const std::u16string* text, std::vector<int> ids = {}) {
  auto* property = new CMOProperty(id);
  if (text != nullptr) property->SetWStringValue(*text);
  if (!ids.empty()) property->SetObjectIdVectorValue(std::move(ids));
  return property;
}

TEST(ModelJsonTest, EveryValueKindParsesBackAndTheStreamGetsTheSameText) {
  GenericModel model{5};
  const std::u16string broken = std::u16string(u"a") + char16_t(0xD800) + u"b";  // an unpaired surrogate
  CMOObject& table = model.CreateObject(model::Table);
  table.SetProperty(Property(model::Name, &broken));
  table.SetProperty(Property(model::IndexColumns, nullptr, {3, 2}));
  table.SetProperty(Property(model::Comment, nullptr));  // no value
  auto* nullable = new CMOProperty(model::Nullable);
  nullable->SetIntegerValue(0);
  model.CreateObject(999, table.GetObjectId()).SetProperty(nullable);
  // Enough objects that the writer hands the text on in several blocks.
  const std::u16string name = u"s" + std::u16string(40, u'x');
  for (int i = 0; i < 3000; ++i) model.CreateObject(model::Schema).SetProperty(Property(model::Name, &name));

  for (int indent : {-1, 2}) {
    std::ostringstream out;
    model::WriteJson(model, out, indent);
    EXPECT_TRUE(out.good());
    EXPECT_EQ(out.str(), model::WriteJson(model, indent));
    EXPECT_EQ(ordered_json::parse(out.str()).dump(indent), out.str()) << "indent " << indent;
  }
  const ordered_json root = ordered_json::parse(model::WriteJson(model));
  EXPECT_EQ(root["type"], "model");
  const ordered_json& t = root["children"][0];
  EXPECT_EQ(t["id"], 2);
  EXPECT_EQ(t["properties"], ordered_json::parse(R"({"name":"a\uFFFDb","indexColumns":[3,2],"comment":null})"));
  const ordered_json& odd = t["children"][0];
  EXPECT_EQ(odd["type"], "type999");
  EXPECT_TRUE(odd["properties"]["nullable"].is_number_integer());
  EXPECT_TRUE(odd["children"].is_array() && odd["children"].empty());
}

TEST(ModelJsonTest, DeepChainIsWrittenWithoutRecursion) {
  // Far deeper than any stack would allow a recursive writer.
  constexpr int kDepth = 200000;
  GenericModel model;
  int parent = 1;
  for (int i = 0; i < kDepth; ++i) parent = model.CreateObject(model::Schema, parent).GetObjectId();
  const std::string text = model::WriteJson(model, -1);
  // The innermost object, then every ancestor closed in turn.
  std::string tail = "{\"id\":" + std::to_string(kDepth + 1) + ",\"type\":\"schema\",\"properties\":{},\"children\":[]}";
  for (int i = 0; i < kDepth; ++i) tail += "]}";
  EXPECT_TRUE(text.ends_with(tail));
  EXPECT_TRUE(text.starts_with("{\"id\":1,\"type\":\"model\",\"properties\":{},\"children\":[{\"id\":2,"));
}

}  // namespace
