// The one reader of ODBC connection strings (UTF-16 and UTF-8), the writer,
// and passwords masked wherever the reader would find them.
#include <schemaimport/ConnectionString.h>

#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// One attribute as "key=value" ("key" alone when not assigned), for
// comparing whole parses at a glance.
template <typename Char>
std::string Shown(const std::vector<BasicConnectionAttribute<Char>>& attributes) {
  std::string text;
  for (const auto& attribute : attributes) {
    if (!text.empty()) text += " | ";
    std::basic_string<Char> line = attribute.key;
    if (attribute.assigned) {
      line += Char('=');
      line += attribute.value;
    }
    if constexpr (std::is_same_v<Char, char16_t>) {
      text += platform::Utf16ToUtf8(line);
    } else {
      text += line;
    }
  }
  return text;
}

struct ParseCase {
  std::string text;      // the connection string (UTF-8)
  std::string expected;  // Shown() of its attributes
};

TEST(ConnectionStringTest, ReadsAsTheDriverManagerReadsOnEitherText) {
  const ParseCase cases[] = {
      {"", ""},
      {";;", ""},
      {"Driver={SQLite3};Database=/tmp/a.db", "Driver=SQLite3 | Database=/tmp/a.db"},
      {"  Server = db ; Port=5432 ", "Server=db | Port=5432"},
      {"PWD={a;b}}c};Uid=me", "PWD=a;b}c | Uid=me"},          // braces hold ';', "}}" is one '}'
      {"PWD={x}junk;Uid=me", "PWD=x | Uid=me"},               // after the closing brace, up to ';': dropped
      {"PWD= {x}", "PWD=x"},                                  // blanks before a brace are skipped
      {"PWD={unclosed;Uid=me", "PWD=unclosed;Uid=me"},        // a brace without its end runs to the end
      {"Trusted;Driver=x", "Trusted | Driver=x"},             // a segment without '=' is a key, not assigned
      {"=value;Driver=x", "Driver=x"},                        // an empty key is dropped
      {"Database=a=b", "Database=a=b"},                       // only the first '=' splits
      {"\tKey\r\n=\n v \t", "Key=v"},                         // every blank around keys and values goes
      {"Name=gr\xC3\xB6\xC3\x9F" "e;X=\xF0\x9F\x98\x80", "Name=gr\xC3\xB6\xC3\x9F" "e | X=\xF0\x9F\x98\x80"},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(Shown(ParseConnectionString(std::string_view(c.text))), c.expected) << "UTF-8: " << c.text;
    EXPECT_EQ(Shown(ParseConnectionString(std::u16string_view(platform::Utf8ToUtf16(c.text)))), c.expected)
        << "UTF-16: " << c.text;
  }
  const std::vector<Utf8ConnectionAttribute> unassigned = ParseConnectionString(std::string_view("Trusted;A=1"));
  ASSERT_EQ(unassigned.size(), 2u);
  EXPECT_FALSE(unassigned[0].assigned);
  EXPECT_FALSE(FindAttribute(unassigned, {"Trusted"}).has_value()) << "a key without a value is not found";
  EXPECT_EQ(FindAttribute(unassigned, {"x", "a"}), std::optional<std::string>("1"));
  EXPECT_EQ(FindAttribute(ParseConnectionString(u"dAtAbAsE=x;Database=y"), {u"DATABASE"}), std::u16string(u"x"));
}

struct FormatCase {
  std::string text;      // parsed, then put back together
  std::string edit;      // "key=new value" to set before formatting; empty: none
  std::string expected;  // the string written
};

TEST(ConnectionStringTest, PutsStringsBackTogetherSoThatTheyReadTheSame) {
  const FormatCase cases[] = {
      // Values not changed are written as they were: the SQLite driver
      // takes no braces at all, psqlODBC takes them.
      {"Driver={SQLite3};Database=/tmp/a.db", "", "Driver={SQLite3};Database=/tmp/a.db"},
      {" Uid = me ; Trusted ;PWD={a;b}x", "", "Uid=me;Trusted;PWD={a;b}"},
      // A changed value gets braces only when it needs them.
      {"Uid=me;PWD=old", "PWD=plain", "Uid=me;PWD=plain"},
      {"Uid=me;PWD=old", "PWD=a;b", "Uid=me;PWD={a;b}"},
      {"Uid=me;PWD=old", "PWD=}{x}", "Uid=me;PWD=}{x}"},
      {"Uid=me;PWD=old", "PWD={x}", "Uid=me;PWD={{x}}}"},
      {"Uid=me;PWD=old", "PWD= padded ", "Uid=me;PWD={ padded }"},
      {"Driver={SQLite3}", "Driver=SQLite3", "Driver={SQLite3}"},  // the same value keeps its form
  };
  for (const FormatCase& c : cases) {
    std::vector<Utf8ConnectionAttribute> attributes = ParseConnectionString(std::string_view(c.text));
    if (!c.edit.empty()) {
      const std::size_t equals = c.edit.find('=');
      for (Utf8ConnectionAttribute& attribute : attributes)
        if (attribute.key == c.edit.substr(0, equals)) attribute.value = c.edit.substr(equals + 1);
    }
    const std::string written = FormatConnectionString(attributes);
    EXPECT_EQ(written, c.expected) << c.text << " / " << c.edit;
    EXPECT_EQ(Shown(ParseConnectionString(std::string_view(written))), Shown(attributes)) << written;
    const std::u16string wide = FormatConnectionString(ParseConnectionString(std::u16string_view(platform::Utf8ToUtf16(c.text))));
    if (c.edit.empty()) {
      EXPECT_EQ(platform::Utf16ToUtf8(wide), c.expected) << c.text;
    }
  }
}

struct MaskCase {
  std::string text;
  std::string masked;
};

TEST(ConnectionStringTest, MasksEveryPasswordTheReaderWouldFind) {
  const MaskCase cases[] = {
      {"Uid=me;PWD=secret;Server=db", "Uid=me;PWD=****;Server=db"},
      {"Uid=me;Password=secret", "Uid=me;Password=****"},
      {"pwd = secret ;x=1", "pwd = ****;x=1"},
      {"PWD={se;cr}}et};Server=db", "PWD=****;Server=db"},     // a braced value to its closing brace
      {"PWD={se;cret", "PWD=****"},                            // an unclosed one to the end
      {"error: cannot connect with Server=db;Pwd=s3cr3t\nnext line", "error: cannot connect with Server=db;Pwd=****\nnext line"},
      {"MyPwd=keep;PWDX=keep;x_pwd=keep", "MyPwd=keep;PWDX=keep;x_pwd=keep"},  // only whole keys
      {"the password is secret", "the password is secret"},   // no '=', no value
      {"PWD=", "PWD=****"},
      {"Uid=a;PWD=1;Password=2", "Uid=a;PWD=****;Password=****"},
  };
  for (const MaskCase& c : cases) {
    EXPECT_EQ(MaskPasswords(std::string_view(c.text)), c.masked) << c.text;
    EXPECT_EQ(platform::Utf16ToUtf8(MaskPasswords(std::u16string_view(platform::Utf8ToUtf16(c.text)))), c.masked) << c.text;
  }
  // What the reader takes as a password never survives masking.
  for (const std::string text : {"A=1;PWD={x;y}}z};B=2", " PWD = {p} ", "Password=p w d;Uid=u"}) {
    const std::string masked = MaskPasswords(std::string_view(text));
    for (const Utf8ConnectionAttribute& attribute : ParseConnectionString(std::string_view(masked)))
      if (IsPasswordKey(attribute.key)) {
        EXPECT_EQ(attribute.value, "****") << text;
      }
  }
}

}  // namespace
