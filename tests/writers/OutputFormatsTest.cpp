// The table of output formats and what every format shares; database text
// shown escaped where it would act on a terminal; the json format read back.
#include "DiagramTestSupport.h"
#include "ExpectedFile.h"
#include "TestModel.h"

#include <writers/JsonReader.h>
#include <writers/OutputFormats.h>
#include <writers/TreeWriter.h>
#include <writers/VisibleText.h>

#include <platform/Utf.h>
#include <tillerhold/ModelJson.h>
#include <tillerhold/ModelVocabulary.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <streambuf>

namespace writers::test {
namespace {

using namespace model;

// Found by its exact name only, typed as listed; the default is the model
// library's JSON, unchanged, with a final line break.
TEST(OutputFormatsTest, EachFormatIsFoundByItsExactNameAndJsonIsTheDefault) {
  std::set<std::string_view> names;
  for (const OutputFormat& format : OutputFormats()) {
    SCOPED_TRACE(format.name);
    EXPECT_EQ(FindOutputFormat(format.name), &format);
    EXPECT_EQ(format.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789-"), std::string_view::npos);
    EXPECT_TRUE(names.insert(format.name).second) << "a second format of this name";
    EXPECT_EQ(format.description.find('\n'), std::string_view::npos);
    EXPECT_FALSE(format.binary && format.forTerminal) << "bytes are never shown on a terminal";
  }
  for (const std::string& name : {std::string(), std::string("JSON"), std::string("json "), std::string(" json"),
                                  std::string("jso"), std::string("jsonx"), std::string("json") + '\0'})
    EXPECT_EQ(FindOutputFormat(name), nullptr) << '"' << name << '"';
  EXPECT_EQ(&DefaultOutputFormat(), FindOutputFormat("json"));
  EXPECT_EQ(&DefaultOutputFormat(), &OutputFormats().front());
  GenericModel model(1001);
  BuildShopModel(model);
  EXPECT_EQ(WriteFormat("json", model), model::WriteJson(model, 2) + "\n");
}

// A stream buffer that accepts nothing, as a full disk or a closed pipe.
class RefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// Every format: the shop, a model of nothing but its root, and a stream
// that fails are written without an exception; text is UTF-8 in whole lines.
TEST(OutputFormatsTest, EveryFormatWritesAnyModel) {
  GenericModel shop(1001), empty(0);
  BuildShopModel(shop);
  for (const OutputFormat& format : OutputFormats()) {
    SCOPED_TRACE(format.name);
    for (const GenericModel* model : {&shop, &empty}) {
      std::ostringstream out;
      EXPECT_NO_THROW(format.writer->Write(*model, out, WriteOptions{}));
      ASSERT_TRUE(out.good());
      const std::string text = out.str();
      if (model == &shop) {
        ASSERT_GT(text.size(), 300u);
      }
      if (!format.binary && !text.empty()) {
        EXPECT_EQ(text.back(), '\n');
        EXPECT_EQ(platform::Utf16ToUtf8(platform::Utf8ToUtf16(text)), text) << "not UTF-8";
      }
    }
    RefusingBuffer refusing;
    std::ostream broken(&refusing);
    EXPECT_NO_THROW(format.writer->Write(shop, broken, WriteOptions{}));
    EXPECT_TRUE(broken.bad());
  }
}

// The formats whose text is ours alone (no layout by Graphviz), whole: the
// shop in each (its script in each dialect), names made to break out of
// every format, and in the outline names and texts that would act on a
// terminal (shown escaped, such a name quoted) and tables of each kind.
TEST(OutputFormatsTest, TextFormatsWriteTheExpectedText) {
  GenericModel shop(1001), hostile(1001), terminal(1001);
  BuildShopModel(shop);
  BuildChainModel(hostile, DiagramHostileNames());
  const int main = Add(terminal, Schema, 1, u"main").GetObjectId();
  CMOObject& forged = Add(terminal, Table, main, u"orders\n  table forged");
  AddColumn(terminal, forged.GetObjectId(), u"id", u"INTEGER");
  SetText(AddColumn(terminal, forged.GetObjectId(), u"x\x1b]0;pwned\x07", u"TEXT"), DefaultValue, u"'a\x1b[2Jb'");
  const int reversed = Add(terminal, Table, main, u"\u202Ecba").GetObjectId();
  AddColumn(terminal, reversed, u"zero\u200Bwidth", u"INTEGER");
  AddColumn(terminal, reversed, u"open\u00A0orders", u"INTEGER");
  AddColumn(terminal, reversed, u"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b", u"TEXT");
  SetText(Add(terminal, Index, reversed, u"ix"), Predicate, u"path = 'C:\\new' AND x <> '\x1b[0m'");
  Add(terminal, View, main, u"v\uFEFF");
  Add(terminal, View, main, u"we\"ird");
  SetText(Add(terminal, Trigger, reversed, u"trg"), TriggerEvents, u"INSERT\r\x1b[1A");
  // Only an ordinary table is just "table" in the outline.
  for (const char16_t* kind : {u"table", u"unlogged table", u"partitioned table", u"virtual table", u"TABLE"})
    SetText(Add(terminal, Table, main, kind), TableKind, kind);
  const struct {
    const GenericModel& model;
    const char* format;
    const char* dialect;
    const char* file;
  } cases[] = {
      {shop, "tree", "", "shop.tree"},          {shop, "dot", "", "shop.dot"},
      {shop, "mermaid", "", "shop.mermaid"},    {shop, "markdown", "", "shop.md"},
      {shop, "sql", "", "shop.standard.sql"},   {shop, "sql", "sqlite", "shop.sqlite.sql"},
      {shop, "sql", "postgresql", "shop.postgresql.sql"}, {shop, "sql", "mariadb", "shop.mariadb.sql"},
      {hostile, "tree", "", "hostile.tree"},    {hostile, "markdown", "", "hostile.md"},
      {hostile, "dot", "", "hostile.dot"},      {hostile, "mermaid", "", "hostile.mermaid"},
      {terminal, "tree", "", "terminal.tree"},
  };
  for (const auto& c : cases) {
    WriteOptions options;
    options.sqlDialect = c.dialect;
    qm::test::ExpectSameAsFile(std::string("writers/") + c.file, WriteFormat(c.format, c.model, options));
  }
  // The folder's index draws each schema's foreign keys within it.
  GenericModel schemas(1001);
  for (const char16_t* name : {u"a", u"b"}) BuildGraphModel(schemas, {"p", "c"}, {{1, 0}}, name);
  FolderFiles folder;
  FindOutputFormat("markdown")->writer->WriteFolder(schemas, folder, WriteOptions{});
  qm::test::ExpectSameAsFile("writers/schemas.README.md", folder.files["README.md"]);
}

// What would act on the terminal or not show is written as an escape,
// everything else as it is; the escaped form reads back to one text.
TEST(VisibleTextTest, EscapesWhatActsOnTheTerminalOrDoesNotShow) {
  const struct {
    std::u16string text;  // as the database holds it
    std::string shown;    // VisibleText
    std::string quoted;   // QuotedVisibleName
  } cases[] = {
      {u"orders", "orders", "\"orders\""},
      {u"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600",
       "B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600",
       "\"B\u00fccher \u0417\u0430\u043a\u0430\u0437\u044b \u65e5\u672c \U0001F600\""},
      // A name that forges an outline line, and one that sets the window title.
      {u"orders\n  table forged", "orders\\n  table forged", "\"orders\\n  table forged\""},
      {u"x\x1b]0;pwned\x07", "x\\x1b]0;pwned\\x07", "\"x\\x1b]0;pwned\\x07\""},
      {u"cr\r\nlf\ttab\x7f", "cr\\r\\nlf\\ttab\\x7f", "\"cr\\r\\nlf\\ttab\\x7f\""},
      {u"c1\u0085\u009b", "c1\\u0085\\u009b", "\"c1\\u0085\\u009b\""},
      // Direction overrides and isolates, invisible characters, separators.
      {u"\u202etxt.exe", "\\u202etxt.exe", "\"\\u202etxt.exe\""},
      {u"a\u2066b\u2069\u200f", "a\\u2066b\\u2069\\u200f", "\"a\\u2066b\\u2069\\u200f\""},
      {u"zero\u200bwidth\ufeff\u00ad\u2060", "zero\\u200bwidth\\ufeff\\u00ad\\u2060",
       "\"zero\\u200bwidth\\ufeff\\u00ad\\u2060\""},
      {u"line\u2028para\u2029", "line\\u2028para\\u2029", "\"line\\u2028para\\u2029\""},
      {u"tag\U000E0041\U000E007F", "tag\\U000e0041\\U000e007f", "\"tag\\U000e0041\\U000e007f\""},
      {u"fill\u3164er", "fill\\u3164er", "\"fill\\u3164er\""},
      // An unpaired surrogate is shown as itself, not as U+FFFD (which a
      // name may hold as well).
      {std::u16string(u"a") + char16_t(0xD800) + u"b\uFFFD", "a\\ud800b\uFFFD", "\"a\\ud800b\uFFFD\""},
      // Backslashes: left alone in a text without escapes, doubled where an
      // escape could be misread, and always in a quoted name.
      {u"C:\\new", "C:\\new", "\"C:\\\\new\""},
      {u"C:\\new\n", "C:\\\\new\\n", "\"C:\\\\new\\n\""},
      // Quotes are doubled inside a quoted name only.
      {u"we\"ird", "we\"ird", "\"we\"\"ird\""},
      // A no-break space looks like a space: escaped in a name, where the
      // difference makes another name, and left in a text.
      {u"open\u00a0orders", "open\u00a0orders", "\"open\\u00a0orders\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.shown);
    EXPECT_EQ(VisibleText(c.text), c.shown);
    EXPECT_EQ(QuotedVisibleName(c.text), c.quoted);
    // The same text in UTF-8 (an unpaired surrogate cannot be) is shown alike.
    const std::string utf8 = platform::Utf16ToUtf8(c.text);
    if (platform::Utf8ToUtf16(utf8) == c.text) {
      EXPECT_EQ(VisibleText(std::string_view(utf8)), c.shown);
    }
  }
  // UTF-8 that is not well formed (a Latin-1 file name, an overlong form,
  // an encoded surrogate, a character cut short) shows each stray byte.
  const std::pair<std::string, std::string> bytes[] = {
      {"latin1-\xE9.db", "latin1-\\xe9.db"}, {"\xC0\xAF", "\\xc0\\xaf"}, {"\xED\xA0\x80", "\\xed\\xa0\\x80"},
      {"cut \xE2\x82", "cut \\xe2\\x82"}, {"\xF4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"ok \xE2\x82\xAC", "ok \xE2\x82\xAC"},
  };
  for (const auto& [text, shown] : bytes) EXPECT_EQ(VisibleText(std::string_view(text)), shown) << shown;
}

// A whole output on a terminal keeps its lines, indentation and
// backslashes; only the rest is escaped, and counted.
TEST(VisibleTextTest, TerminalTextKeepsTheLayoutAndEscapesTheRest) {
  const struct {
    std::string text;
    std::string shown;
    std::size_t escaped;
  } cases[] = {
      {"CREATE TABLE \"a\x1b]0;x\x07\" (\n\tid int);\n", "CREATE TABLE \"a\\x1b]0;x\\x07\" (\n\tid int);\n", 2},
      {"E'a\\b' \u202e\r\n\u200b\x7f\xc2\x9b", "E'a\\b' \\u202e\\r\n\\u200b\\x7f\\u009b", 5},
      {"latin1-\xE9 \xF3\xA0\x80\x81", "latin1-\\xe9 \\U000e0001", 2},
      {"plain na\u00efve \u00a0 \U0001F600\n", "plain na\u00efve \u00a0 \U0001F600\n", 0},
  };
  for (const auto& c : cases) {
    std::size_t escaped = 0;
    EXPECT_EQ(TerminalText(c.text, &escaped), c.shown) << c.shown;
    EXPECT_EQ(escaped, c.escaped) << c.shown;
  }
}

// The saved model read back: the message of the ReadError, empty when none.
std::string Read(const std::string& text, GenericModel& model) {
  std::istringstream in(text);
  try {
    JsonReader().Read(in, model);
  } catch (const ReadError& error) {
    return error.what();
  }
  return {};
}

// What JsonWriter wrote becomes the same model again, nested however deep.
TEST(JsonReaderTest, ASavedModelReadsBackAsTheSameModel) {
  GenericModel model(1001), read(7);
  BuildShopModel(model);
  const std::string saved = WriteJson(model, 2);
  EXPECT_EQ(Read(saved, read), "");
  EXPECT_EQ(WriteJson(read, 2), saved);
  EXPECT_EQ(read.GetModelType(), 7u) << "a saved model does not say which plug-in made it";
  EXPECT_NE(FindOutputFormat("json")->reader, nullptr);
  GenericModel deep, deepRead;
  int parent = 1;
  for (int i = 0; i < 20000; ++i) parent = Add(deep, Schema, parent, u"s").GetObjectId();
  EXPECT_EQ(Read(WriteJson(deep, -1), deepRead), "");
  EXPECT_EQ(deepRead.GetObjectCount(), deep.GetObjectCount());
  EXPECT_EQ(deepRead.GetCMOObject(20001)->GetParentId(), 20000);
}

// A hand-edited file is read as written: ids with gaps numbered afresh in
// id order, references following their objects, unknown numbers kept, a
// key given twice in its first place with its last value, integers to the
// ends of their range, escapes and surrogate pairs, a top id other than 1.
TEST(JsonReaderTest, EditedFilesReadAsWritten) {
  const char* const edited[] = {
      R"({"id": 1, "type": "model", "properties": {}, "children": [
         {"id": 10, "type": "table", "properties": {"name": "t"}, "children": [
           {"id": 30, "type": "column", "properties": {"name": "a", "nullable": 0}},
           {"id": 20, "type": "key", "properties": {"keyColumns": [30], "comment": null, "property999": "x"}}]},
         {"id": 40, "type": "type77", "properties": {"name": "odd"}}]})",
      R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "table",
          "properties": {"name": "a", "comment": "b", "name": "c", "keyColumns": true, "keyColumns": [2, 2]}}]})",
      R"({"id": 1, "type": "model", "properties": {"position": 9223372036854775807, "comment": -9223372036854775808,
          "nullable": 18446744073709551615, "name": "\ud83d\ude00 \u00e9 \u0000"}})",
      R"({"id": 7, "type": "model", "type": "model", "children": [{"id": 2, "type": "key",
          "properties": {"keyColumns": [7, 2]}}]})",
  };
  std::string models;
  for (const char* text : edited) {
    GenericModel model;
    EXPECT_EQ(Read(text, model), "") << text;
    models += WriteJson(model, -1) + "\n";
  }
  qm::test::ExpectSameAsFile("writers/edited.json", models);
}

// What is not a saved model is refused with a reason that says where.
TEST(JsonReaderTest, WhatIsNotASavedModelIsRefusedSayingWhere) {
  const std::pair<const char*, const char*> refused[] = {
      {"", "parse error at line 1, column 1"},
      {"{\"id\": 1, \"type\": \"model\"", "parse error at line 1"},
      {"[1, 2]", "the top object is not a JSON object"},
      {R"({"id": 1, "type": "table"})", "the top object is \"table\", not a model"},
      {R"({"id": 1, "type": "model", "children": [{"id": 2, "type": "tabel"}]})",
       "object 2: unknown object type \"tabel\""},
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
  for (const auto& [text, reason] : refused) {
    GenericModel model;
    const std::string message = Read(text, model);
    EXPECT_NE(message.find(reason), std::string::npos) << text << ": " << message;
  }
}

}  // namespace
}  // namespace writers::test
