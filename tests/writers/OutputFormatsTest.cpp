// The table of output formats: what the command line offers is found by
// name and only by its exact name, each entry is fit for --help and the
// README, and every writer writes any model it is given.
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

TEST(OutputFormatsTest, EachFormatIsFoundByItsNameAndFitsAHelpLine) {
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
    // One line of --help and of the README's list.
    EXPECT_FALSE(format.description.empty());
    EXPECT_EQ(format.description.find('\n'), std::string_view::npos);
    EXPECT_NE(format.description.back(), '.');
    EXPECT_LE(format.description.size(), 80u);
    EXPECT_NE(format.writer, nullptr);
    EXPECT_FALSE(format.binary && format.forTerminal) << "bytes are never shown on a terminal";
  }
}

TEST(OutputFormatsTest, NamesThatAreNotInTheTableFindNothing) {
  const std::string_view first = OutputFormats().front().name;
  const std::string upper = [&] {
    std::string text(first);
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
  }();
  for (const std::string& name : {std::string(), upper, std::string(first) + " ", " " + std::string(first),
                                   std::string(first.substr(0, first.size() - 1)), std::string(first) + "x",
                                   std::string("xml"), std::string(first) + '\0'}) {
    EXPECT_EQ(FindOutputFormat(name), nullptr) << '"' << name << '"';
  }
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

}  // namespace
}  // namespace writers::test
