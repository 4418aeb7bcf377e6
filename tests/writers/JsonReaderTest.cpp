// The json format read back: what JsonWriter wrote becomes the same model
// again (ids, types, properties of every kind), a file with gaps in its
// ids keeps its references right, and what is not a saved model is refused
// with a reason that says where.
#include "TestModel.h"

#include <writers/JsonReader.h>
#include <writers/OutputFormats.h>

#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <sstream>

namespace writers::test {
namespace {

using namespace model;

void Read(const std::string& text, GenericModel& model) {
  std::istringstream in(text);
  JsonReader().Read(in, model);
}

// The message of the ReadError reading the text throws; empty when none.
std::string Refusal(const std::string& text) {
  GenericModel model;
  try {
    Read(text, model);
  } catch (const ReadError& error) {
    return error.what();
  }
  return {};
}

TEST(JsonReaderTest, ASavedModelReadsBackAsTheSameModel) {
  GenericModel model(1001);
  BuildShopModel(model);
  const std::string saved = WriteJson(model, 2);
  GenericModel read(7);
  Read(saved, read);
  EXPECT_EQ(WriteJson(read, 2), saved);
  EXPECT_EQ(read.GetModelType(), 7u) << "a saved model does not say which plug-in made it";
  EXPECT_NE(FindOutputFormat("json")->reader, nullptr);
}

// Ids with gaps (a file edited or written elsewhere) are numbered afresh;
// references follow their objects; unknown numbers come back as numbers.
TEST(JsonReaderTest, IdsWithGapsAreRenumberedAndReferencesFollow) {
  GenericModel model;
  Read(R"({"id": 1, "type": "model", "properties": {}, "children": [
             {"id": 10, "type": "table", "properties": {"name": "t"}, "children": [
               {"id": 30, "type": "column", "properties": {"name": "a", "nullable": 0}},
               {"id": 20, "type": "key", "properties": {"keyColumns": [30], "comment": null, "property999": "x"}}]},
             {"id": 40, "type": "type77", "properties": {"name": "odd"}}]})",
       model);
  // Made in id order: children are in the order of their ids (20 before
  // 30), as a model the writer saved lists them.
  EXPECT_EQ(WriteJson(model, -1),
            R"({"id":1,"type":"model","properties":{},"children":[{"id":2,"type":"table","properties":{"name":"t"},)"
            R"("children":[{"id":3,"type":"key","properties":{"keyColumns":[4],"comment":null,"property999":"x"},)"
            R"("children":[]},{"id":4,"type":"column","properties":{"name":"a","nullable":0},"children":[]}]},)"
            R"({"id":5,"type":"type77","properties":{"name":"odd"},"children":[]}]})");
}

// What a hand-edited file may hold is read as written: a key given twice
// keeps its first place and its last value, integers to the ends of their
// range, escapes and surrogate pairs, and references to a top object
// whose id is not 1 follow it.
TEST(JsonReaderTest, EditedFilesReadAsWritten) {
  const struct {
    const char* text;
    const char* model;  // written back compactly
  } cases[] = {
      {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table",
          "properties": {"name": "a", "comment": "b", "name": "c", "keyColumns": true, "keyColumns": [2, 2]}}]})",
       R"({"id":1,"type":"model","properties":{},"children":[{"id":2,"type":"table",)"
       R"("properties":{"name":"c","comment":"b","keyColumns":[2,2]},"children":[]}]})"},
      {R"({"id": 1, "type": "model", "properties": {"position": 9223372036854775807, "comment": -9223372036854775808,
          "nullable": 18446744073709551615, "name": "\ud83d\ude00 \u00e9 \u0000"}})",
       R"({"id":1,"type":"model","properties":{"position":9223372036854775807,"comment":-9223372036854775808,)"
       "\"nullable\":-1,\"name\":\"\xf0\x9f\x98\x80 \xc3\xa9 \\u0000\"},\"children\":[]}"},
      {R"({"id": 7, "type": "model", "children": [{"id": 2, "type": "key", "properties": {"keyColumns": [7, 2]}}]})",
       R"({"id":1,"type":"model","properties":{},"children":[{"id":2,"type":"key",)"
       R"("properties":{"keyColumns":[1,2]},"children":[]}]})"},
      {R"({"id": 7, "type": "model", "type": "model", "children": [{"id": 2, "type": "key",
          "properties": {"keyColumns": [7, 2]}}]})",
       R"({"id":1,"type":"model","properties":{},"children":[{"id":2,"type":"key",)"
       R"("properties":{"keyColumns":[1,2]},"children":[]}]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    GenericModel model;
    Read(c.text, model);
    EXPECT_EQ(WriteJson(model, -1), c.model);
  }
}

struct Refused {
  const char* text;
  const char* reason;  // part of the message
};

const Refused kRefused[] = {
    {"", "parse error at line 1, column 1"},
    {"{\"id\": 1, \"type\": \"model\"", "parse error at line 1"},
    {"[1, 2]", "the top object is not a JSON object"},
    {R"({"id": 1, "type": "table"})", "the top object is \"table\", not a model"},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "tabel"}]})", "object 2: unknown object type \"tabel\""},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table", "properties": {"nmae": "t"}}]})",
     "object 2: unknown property \"nmae\""},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table", "properties": {"name": true}}]})",
     "object 2's property \"name\" is boolean"},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table", "properties": {"keyColumns": [1.5]}}]})",
     "holds 1.5 among its object ids"},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table"}, {"id": 2, "type": "view"}]})",
     "two objects have the id 2"},
    {R"({"id": 1, "type": "model", "children": [{"id": 5, "type": "table", "children": [{"id": 3, "type": "column"}]}]})",
     "object 3 comes before its parent object 5"},
    {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "key", "properties": {"keyColumns": [9]}}]})",
     "object 2's property \"keyColumns\" names object 9, which the file does not hold"},
    {R"({"id": 1, "type": "model", "children": [{"type": "table"}]})", "a child of object 1 has no integer \"id\""},
    {R"({"id": 1, "type": "model", "children": {"id": 2}})", "object 1: \"children\" is not an array"},
    {"{\"id\": 1, \"type\": \"model\", \"properties\": {\"name\": \"\xff\"}}", "parse error"},
};

TEST(JsonReaderTest, WhatIsNotASavedModelIsRefusedSayingWhere) {
  for (const Refused& refused : kRefused) {
    SCOPED_TRACE(refused.text);
    const std::string message = Refusal(refused.text);
    EXPECT_NE(message.find(refused.reason), std::string::npos) << message;
  }
}

// The writer nests without limit; the reader walks as deep.
TEST(JsonReaderTest, DeeplyNestedModelsAreRead) {
  GenericModel model;
  int parent = 1;
  for (int i = 0; i < 20000; ++i) parent = Add(model, Schema, parent, u"s").GetObjectId();
  GenericModel read;
  Read(WriteJson(model, -1), read);
  EXPECT_EQ(read.GetObjectCount(), model.GetObjectCount());
  EXPECT_EQ(read.GetCMOObject(20001)->GetParentId(), 20000);
}

}  // namespace
}  // namespace writers::test
