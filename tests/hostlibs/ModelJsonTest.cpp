#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using ordered_json = nlohmann::ordered_json;

void SetText(CMOObject& object, int id, const std::u16string& value) {
  auto* property = new CMOProperty(id);
  property->SetWStringValue(value);
  object.SetProperty(property);
}

void SetIds(CMOObject& object, int id, std::vector<int> ids) {
  auto* property = new CMOProperty(id);
  property->SetObjectIdVectorValue(std::move(ids));
  object.SetProperty(property);
}

void SetInteger(CMOObject& object, int id, std::int64_t value) {
  auto* property = new CMOProperty(id);
  property->SetIntegerValue(value);
  object.SetProperty(property);
}

// A model with the usual nesting and the value kinds the writer must render.
class ModelJsonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetText(*model.GetCMOObject(), model::ServerName, u"db.example");
    CMOObject& schema = model.CreateObject(model::Schema);
    SetText(schema, model::Name, u"Zoë 日本 😀");
    CMOObject& table = model.CreateObject(model::Table, schema.GetObjectId());
    SetText(table, model::Name, u"say \"hi\"\\\n\t\x01");
    CMOObject& id = model.CreateObject(model::Column, table.GetObjectId());
    SetText(id, model::Name, u"id");
    SetInteger(id, model::Nullable, 0);
    CMOObject& label = model.CreateObject(model::Column, table.GetObjectId());
    SetText(label, model::Name, u"label");
    CMOObject& index = model.CreateObject(model::Index, table.GetObjectId());
    SetIds(index, model::IndexColumns, {id.GetObjectId()});
    SetIds(index, model::IncludedColumns, {label.GetObjectId(), id.GetObjectId()});
    SetIds(index, model::KeyColumns, {});
    index.SetProperty(new CMOProperty(model::Comment));  // no value
    CMOObject& odd = model.CreateObject(999);
    SetText(odd, 777, u"?");
  }

  GenericModel model{5};
};

TEST_F(ModelJsonTest, TreeParsesBackWithNamesNestingAndValues) {
  const ordered_json root = ordered_json::parse(model::WriteJson(model));

  EXPECT_EQ(root["id"], 1);
  EXPECT_EQ(root["type"], "model");
  EXPECT_EQ(root["properties"]["serverName"], "db.example");
  ASSERT_EQ(root["children"].size(), 2u);

  const ordered_json& schema = root["children"][0];
  EXPECT_EQ(schema["id"], 2);
  EXPECT_EQ(schema["type"], "schema");
  EXPECT_EQ(schema["properties"]["name"], "Zo\u00eb \u65e5\u672c \U0001F600");

  ASSERT_EQ(schema["children"].size(), 1u);
  const ordered_json& table = schema["children"][0];
  EXPECT_EQ(table["type"], "table");
  EXPECT_EQ(table["properties"]["name"], "say \"hi\"\\\n\t\x01");

  const ordered_json& columns = table["children"];
  ASSERT_EQ(columns.size(), 3u);
  EXPECT_EQ(columns[0]["type"], "column");
  EXPECT_EQ(columns[0]["properties"]["nullable"], 0);
  EXPECT_TRUE(columns[0]["properties"]["nullable"].is_number_integer());
  EXPECT_EQ(columns[1]["properties"]["name"], "label");
  EXPECT_TRUE(columns[1]["children"].is_array());
  EXPECT_TRUE(columns[1]["children"].empty());

  const ordered_json& index = columns[2];
  EXPECT_EQ(index["type"], "index");
  EXPECT_EQ(index["properties"]["indexColumns"], ordered_json::array({4}));
  EXPECT_EQ(index["properties"]["includedColumns"], ordered_json::array({5, 4}));
  EXPECT_EQ(index["properties"]["keyColumns"], ordered_json::array());
  EXPECT_TRUE(index["properties"]["comment"].is_null());
  // Properties keep the order in which they were first attached.
  std::vector<std::string> keys;
  for (const auto& item : index["properties"].items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"indexColumns", "includedColumns", "keyColumns", "comment"}));

  const ordered_json& odd = root["children"][1];
  EXPECT_EQ(odd["type"], "type999");
  EXPECT_EQ(odd["properties"]["property777"], "?");
}

TEST_F(ModelJsonTest, LayoutMatchesTheLibraryForEveryIndent) {
  for (int indent : {-1, 0, 2, 4}) {
    const std::string text = model::WriteJson(model, indent);
    EXPECT_EQ(ordered_json::parse(text).dump(indent), text) << "indent " << indent;
  }
  EXPECT_EQ(model::WriteJson(model, -1).find('\n'), std::string::npos);
}

TEST_F(ModelJsonTest, StreamGetsTheSameText) {
  // Enough objects that the writer hands the text on in several blocks.
  for (int i = 0; i < 3000; ++i) SetText(model.CreateObject(model::Schema), model::Name, u"s" + std::u16string(40, u'x'));
  std::ostringstream out;
  model::WriteJson(model, out, 2);
  EXPECT_TRUE(out.good());
  EXPECT_EQ(out.str(), model::WriteJson(model, 2));
}

TEST_F(ModelJsonTest, UnpairedSurrogateBecomesReplacementCharacter) {
  SetText(*model.GetCMOObject(model.GetObjectCount()), model::Comment, std::u16string(u"a") + char16_t(0xD800) + u"b");
  const ordered_json root = ordered_json::parse(model::WriteJson(model));
  EXPECT_EQ(root["children"][1]["properties"]["comment"], "a\uFFFDb");
}

TEST(ModelJsonDepthTest, DeepChainIsWrittenWithoutRecursion) {
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
