// The table of output formats: what the command line offers is found by
// name and only by its exact name, each entry is fit for --help and the
// README, and every writer writes any model it is given.
#include "DiagramTestSupport.h"
#include "ExpectedFile.h"
#include "TestModel.h"

#include <writers/OutputFormats.h>

#include <platform/Utf.h>
#include <tillerhold/ModelJson.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <streambuf>

namespace writers::test {
namespace {

// Found by its exact name only; one line of --help and of the README each.
TEST(OutputFormatsTest, EachFormatIsFoundByItsExactNameAndFitsAHelpLine) {
  ASSERT_FALSE(OutputFormats().empty());
  EXPECT_EQ(&DefaultOutputFormat(), &OutputFormats().front());
  std::set<std::string_view> names;
  for (const OutputFormat& format : OutputFormats()) {
    SCOPED_TRACE(format.name);
    EXPECT_EQ(FindOutputFormat(format.name), &format);
    EXPECT_TRUE(names.insert(format.name).second) << "a second format of this name";
    // A --format value: typed as it is listed, no quoting needed.
    EXPECT_FALSE(format.name.empty());
    EXPECT_TRUE(std::all_of(format.name.begin(), format.name.end(),
                            [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }));
    EXPECT_EQ(format.description.find('\n'), std::string_view::npos);
    EXPECT_FALSE(format.binary && format.forTerminal) << "bytes are never shown on a terminal";
  }
  for (const std::string& name : {std::string(), std::string("JSON"), std::string("json "), std::string(" json"),
                                 std::string("jso"), std::string("jsonx"), std::string("json") + '\0'})
    EXPECT_EQ(FindOutputFormat(name), nullptr) << '"' << name << '"';
}

// The default and the first format users had: the model library's JSON,
// unchanged, with a final line break.
TEST(OutputFormatsTest, JsonIsTheDefaultAndTheModelLibrarysJson) {
  EXPECT_EQ(DefaultOutputFormat().name, "json");
  GenericModel model(1001);
  BuildShopModel(model);
  std::ostringstream out;
  FindOutputFormat("json")->writer->Write(model, out, WriteOptions{});
  EXPECT_EQ(out.str(), model::WriteJson(model, 2) + "\n");
}

// A stream buffer that accepts nothing, as a full disk or a closed pipe.
class RefusingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// Every format, whatever is added to the table: the shop model, a model
// with nothing but its root, and a stream that fails are written without
// an exception; text formats give UTF-8 in whole lines (an outline of
// nothing may be no line at all).
TEST(OutputFormatsTest, EveryFormatWritesAnyModel) {
  GenericModel shop(1001);
  BuildShopModel(shop);
  GenericModel empty(0);
  for (const OutputFormat& format : OutputFormats()) {
    SCOPED_TRACE(format.name);
    for (const GenericModel* model : {&shop, &empty}) {
      std::ostringstream out;
      EXPECT_NO_THROW(format.writer->Write(*model, out, WriteOptions{}));
      ASSERT_TRUE(out.good());
      const std::string text = out.str();
      if (model == &shop) {
        // Even a diagram of the shop's four tables is a few hundred bytes.
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

// The formats whose text is ours alone (no layout by Graphviz), whole:
// the shop model in each, its script in each dialect, and names made to
// break out of every format (the chain of DiagramHostileNames).
TEST(OutputFormatsTest, TextFormatsWriteTheExpectedText) {
  GenericModel shop(1001), hostile(1001);
  BuildShopModel(shop);
  BuildChainModel(hostile, DiagramHostileNames());
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
  };
  for (const auto& c : cases) {
    WriteOptions options;
    options.sqlDialect = c.dialect;
    std::ostringstream out;
    FindOutputFormat(c.format)->writer->Write(c.model, out, options);
    qm::test::ExpectSameAsFile(std::string("writers/") + c.file, out.str());
  }
}

}  // namespace
}  // namespace writers::test
