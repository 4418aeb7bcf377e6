// The scope list hosts hand the plug-ins: unquoted names as before, quoted
// names taken exactly, and lists that are not well formed.
#include <schemaimport/ScopeList.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::u16string>;

TEST(ScopeListTest, QuotedNamesAreTakenExactlyAndUnquotedOnesTrimmed) {
  const std::pair<std::u16string, Names> cases[] = {
      {u"", {}},
      {u" , ,", {}},
      {u" a, b,,c ,", {u"a", u"b", u"c"}},
      {u"Sales,sales,Sales", {u"Sales", u"sales"}},  // exact: case counts, a repeat does not
      {u"\"a,b\",public", {u"a,b", u"public"}},
      {u"\" sp \"", {u" sp "}},
      {u"  \"x\"  ,y", {u"x", u"y"}},  // blanks around the quotes are not part of the name
      {u"\"say \"\"hi\"\"\"", {u"say \"hi\""}},
      {u"\"\",a", {u"", u"a"}},  // an empty quoted name is a name
      {u"\"a\",a", {u"a"}},      // quoting alone does not make another name
      {u"a\"b, c\"", {u"a\"b", u"c\""}},  // a quote that does not open an item is part of the name
      {u"\"\xFC\U0001F600\",\"\t\"", {u"\xFC\U0001F600", u"\t"}},
  };
  for (const auto& [text, names] : cases) {
    const ScopeList list = ReadScopeList(text);
    EXPECT_EQ(list.names, names) << platform::Utf16ToUtf8(text);
    EXPECT_EQ(list.error, u"") << platform::Utf16ToUtf8(text);
    EXPECT_EQ(ParseScope(text), names) << platform::Utf16ToUtf8(text);
  }
}

// A list that is not well formed says why; read anyway (a host that did
// not check it), it never names fewer schemas than it holds, since an
// empty list would import every schema.
TEST(ScopeListTest, MalformedListsSayWhyAndAreNeverReadAsFewerNames) {
  const struct {
    std::u16string text;
    std::string says;
    Names names;
  } cases[] = {
      {u"\"a,b", "the quoted name \"a,b has no closing quote", {u"\"a", u"b"}},
      {u"public,\"", "the quoted name \" has no closing quote", {u"public", u"\""}},
      {u"\"say \"\"hi\"\"", "the quoted name \"say \"\"hi\"\" has no closing quote", {u"\"say \"\"hi\"\""}},
      {u"\"a\"b,c", "the quoted name \"a\" must be followed by a comma, not by b", {u"\"a\"b", u"c"}},
      {u"\"a\" \"b\"", "the quoted name \"a\" must be followed by a comma, not by \"b\"", {u"\"a\" \"b\""}},
  };
  for (const auto& c : cases) {
    const ScopeList list = ReadScopeList(c.text);
    const std::string error = platform::Utf16ToUtf8(list.error);
    EXPECT_EQ(error.rfind(c.says, 0), 0u) << error;
    EXPECT_NE(error.find("written \"\""), std::string::npos) << error;
    EXPECT_EQ(list.names, c.names) << error;
  }
}

}  // namespace
