// UTF-8/UTF-16 converters and MultiByteToWideChar by code page.
#include <platform/CodePage.h>
#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char16_t kFffd = 0xFFFD;

// Runs fn on a fresh thread whose locale is loc, so the test's own thread
// keeps its locale.
template <typename Fn>
void OnThreadWithLocale(locale_t loc, Fn fn) {
  std::thread worker([&] {
    const locale_t previous = uselocale(loc);
    fn();
    uselocale(previous);
  });
  worker.join();
}

// Decodes with MultiByteToWideChar the way callers do: size query, then
// conversion. Checks that the two agree.
std::u16string Decode(UINT codePage, const std::string& bytes, DWORD flags = 0) {
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  if (needed == 0) return out;
  const int written =
      MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), needed);
  EXPECT_EQ(written, needed) << "size query and conversion disagree";
  return out;
}

// ---------------------------------------------------------------- UTF-8

TEST(Utf8ToUtf16, DecodesEveryLengthAtItsBoundaries) {
  using platform::Utf8ToUtf16;
  EXPECT_EQ(Utf8ToUtf16("\x7F"), u"\u007F");
  EXPECT_EQ(Utf8ToUtf16("\xC2\x80"), u"\u0080");
  EXPECT_EQ(Utf8ToUtf16("\xDF\xBF"), u"\u07FF");
  EXPECT_EQ(Utf8ToUtf16("\xE0\xA0\x80"), u"\u0800");
  EXPECT_EQ(Utf8ToUtf16("\xED\x9F\xBF"), u"\uD7FF");
  EXPECT_EQ(Utf8ToUtf16("\xEE\x80\x80"), u"\uE000");
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBF\xBF"), u"\uFFFF");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x90\x80\x80"), (std::u16string{0xD800, 0xDC00}));
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), (std::u16string{0xDBFF, 0xDFFF}));
  EXPECT_EQ(Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf8ToUtf16, RejectsWhatIsNotAScalarValue) {
  using platform::Utf8ToUtf16;
  const std::u16string one{kFffd, u'x'};
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80x"), one) << "overlong NUL";
  EXPECT_EQ(Utf8ToUtf16("\xC1\xBFx"), one) << "overlong 2-byte";
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAFx"), one) << "overlong 3-byte /";
  EXPECT_EQ(Utf8ToUtf16("\xE0\x9F\xBFx"), one) << "overlong U+07FF";
  EXPECT_EQ(Utf8ToUtf16("\xF0\x8F\xBF\xBFx"), one) << "overlong U+FFFF";
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80x"), one) << "high surrogate";
  EXPECT_EQ(Utf8ToUtf16("\xED\xBF\xBFx"), one) << "low surrogate";
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80x"), one) << "U+110000";
  EXPECT_EQ(Utf8ToUtf16("\xF7\xBF\xBF\xBFx"), one) << "U+1FFFFF";
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\xBD\xED\xB8\x80"), (std::u16string{kFffd, kFffd})) << "CESU-8 pair";
  EXPECT_EQ(Utf8ToUtf16("\xF8\x88\x80\x80\x80"), std::u16string(5, kFffd)) << "5-byte form";
  EXPECT_EQ(Utf8ToUtf16("\xFE\xFF"), std::u16string(2, kFffd));
  EXPECT_EQ(Utf8ToUtf16("\x80\xBFx"), (std::u16string{kFffd, kFffd, u'x'})) << "stray continuations";
}

TEST(Utf8ToUtf16, BrokenSequenceIsReplacedInPlace) {
  using platform::Utf8ToUtf16;
  EXPECT_EQ(Utf8ToUtf16("a\xC3(b"), (std::u16string{u'a', kFffd, u'(', u'b'}));
  EXPECT_EQ(Utf8ToUtf16("ab\xE2\x82"), (std::u16string{u'a', u'b', kFffd})) << "truncated at the end";
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98z"), (std::u16string{kFffd, u'z'}));
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xE2\x82\xAC"), (std::u16string{kFffd, 0x20AC}))
      << "a new lead byte ends the broken sequence";
}

TEST(Utf16ToUtf8, UnpairedSurrogatesBecomeReplacement) {
  using platform::Utf16ToUtf8;
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a\xEF\xBF\xBD") << "high at the end";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD") << "reversed pair";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0x07FF, 0x0800, 0xFFFF}), "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF");
}

bool IsWellFormedUtf16(const std::u16string& s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] >= 0xD800 && s[i] <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (s[i] >= 0xDC00 && s[i] <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

// Random bytes, weighted towards lead and continuation bytes so that
// near-valid sequences are common.
TEST(UtfProperty, RandomBytesDecodeToStableWellFormedText) {
  std::mt19937 rng(20240611);
  const unsigned char interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                       0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xF8, 0xFE, 0xFF};
  std::uniform_int_distribution<int> length(0, 48);
  std::uniform_int_distribution<int> anyByte(0, 255);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof interesting - 1);
  std::bernoulli_distribution useInteresting(0.6);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(static_cast<std::size_t>(length(rng)), '\0');
    for (char& b : bytes)
      b = static_cast<char>(useInteresting(rng) ? interesting[pick(rng)] : anyByte(rng));
    const std::u16string first = platform::Utf8ToUtf16(bytes);
    ASSERT_TRUE(IsWellFormedUtf16(first)) << "round " << round;
    ASSERT_LE(first.size(), bytes.size()) << "round " << round;
    const std::string encoded = platform::Utf16ToUtf8(first);
    const std::u16string second = platform::Utf8ToUtf16(encoded);
    ASSERT_EQ(first, second) << "round " << round;
    ASSERT_EQ(platform::Utf16ToUtf8(second), encoded) << "round " << round;
  }
}

TEST(UtfProperty, EveryScalarValueRoundTrips) {
  std::u16string all;
  for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    if (cp < 0x10000) {
      all.push_back(static_cast<char16_t>(cp));
    } else {
      all.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      all.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  }
  EXPECT_EQ(platform::Utf8ToUtf16(platform::Utf16ToUtf8(all)), all);
}

// ------------------------------------------------------ code pages

TEST(MultiByteToWideChar, BrokenUtf8IsReplacedUnlessInvalidCharsAreErrors) {
  EXPECT_EQ(Decode(CP_UTF8, "a\xC3(b"), (std::u16string{u'a', kFffd, u'(', u'b'}));
  EXPECT_EQ(Decode(CP_UTF8, "ab\xE2\x82"), (std::u16string{u'a', u'b', kFffd}));
  EXPECT_EQ(Decode(CP_UTF8, "\xC0\x80"), (std::u16string{kFffd}));
  char16_t buffer[16];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3(b", 4, buffer, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ab\xE2\x82", 4, buffer, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ab\xE2\x82", 4, nullptr, 0), 0);
  // A real U+FFFD in the input is valid text, but not when it hides a fault.
  EXPECT_EQ(Decode(CP_UTF8, "x\xEF\xBF\xBD", MB_ERR_INVALID_CHARS), (std::u16string{u'x', kFffd}));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xEF\xBF\xBD\xFF", 4, buffer, 16), 0);
  EXPECT_EQ(Decode(CP_UTF8, "caf\xC3\xA9", MB_ERR_INVALID_CHARS), u"caf\u00E9");
}

TEST(MultiByteToWideChar, WritesOnlyWithinTheBuffer) {
  const char16_t kSentinel = 0xBEEF;
  for (const std::string text : {"abcdef", "abcd\xC3\xA9", "ab\xE2\x82\xAC"}) {
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    ASSERT_GT(needed, 0) << text;
    for (int cch = 1; cch <= needed + 2; ++cch) {
      std::vector<char16_t> buffer(32, kSentinel);
      const int written =
          MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), buffer.data(), cch);
      EXPECT_EQ(written, cch < needed ? 0 : needed) << text << " cch=" << cch;
      for (std::size_t i = static_cast<std::size_t>(cch); i < buffer.size(); ++i)
        ASSERT_EQ(buffer[i], kSentinel) << text << " cch=" << cch << " wrote at " << i;
    }
  }
}

TEST(MultiByteToWideChar, MinusOneLengthIncludesTheNul) {
  char16_t buffer[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buffer, 8), 4);
  EXPECT_EQ(std::u16string(buffer, 4), std::u16string(u"abc\0", 4));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buffer, 3), 0) << "no room for the NUL";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9", -1, nullptr, 0), 2);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9", -1, buffer, 8), 2);
  EXPECT_EQ(std::u16string(buffer, 2), std::u16string(u"\u00E9\0", 2));
  // An explicit length keeps embedded NULs and adds none.
  EXPECT_EQ(Decode(CP_UTF8, std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(MultiByteToWideChar, BadArgumentsFail) {
  char16_t buffer[8];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -2, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, buffer, -1), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, buffer, 8), 0) << "unknown code page";
}

TEST(MultiByteToWideChar, CLocaleCountsAsUtf8) {
  const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  ASSERT_NE(c, static_cast<locale_t>(nullptr));
  OnThreadWithLocale(c, [] {
    EXPECT_EQ(platform::ThreadCodeset(), nl_langinfo(CODESET));
    EXPECT_EQ(Decode(CP_THREAD_ACP, "caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(Decode(CP_ACP, "caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(Decode(CP_THREAD_ACP, "a\xC3(b"), (std::u16string{u'a', kFffd, u'(', u'b'}));
    char16_t buffer[8];
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, MB_ERR_INVALID_CHARS, "a\xC3(b", 4, buffer, 8), 0);
    std::u16string appended = u">";
    platform::AppendMultiByteAsUtf16(CP_THREAD_ACP, "\xE2\x82\xAC\xFF", appended);
    EXPECT_EQ(appended, (std::u16string{u'>', 0x20AC, kFffd}));
  });
  freelocale(c);
}

// A Latin-1 locale: an installed one if `locale -a` lists any, else one
// generated into a temporary directory with localedef (no network needed).
class Latin1Locale : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_locale = OpenInstalled();
    if (s_locale == nullptr) s_locale = Generate();
  }
  static void TearDownTestSuite() {
    if (s_locale != nullptr) freelocale(s_locale);
    s_locale = nullptr;
    if (!s_dir.empty()) std::filesystem::remove_all(s_dir);
  }
  void SetUp() override {
    if (s_locale == nullptr) GTEST_SKIP() << "no ISO-8859-1 locale: " << s_why;
  }

  static locale_t s_locale;
  static std::string s_why;
  static std::filesystem::path s_dir;

 private:
  static bool IsLatin1(locale_t loc) { return std::string(nl_langinfo_l(CODESET, loc)) == "ISO-8859-1"; }

  static locale_t OpenInstalled() {
    FILE* list = popen("locale -a 2>/dev/null", "r");
    if (list == nullptr) return nullptr;
    char line[256];
    locale_t found = nullptr;
    while (found == nullptr && std::fgets(line, sizeof line, list) != nullptr) {
      std::string name(line);
      while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
      const locale_t loc = newlocale(LC_ALL_MASK, name.c_str(), static_cast<locale_t>(nullptr));
      if (loc == nullptr) continue;
      if (IsLatin1(loc))
        found = loc;
      else
        freelocale(loc);
    }
    pclose(list);
    return found;
  }

  static locale_t Generate() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qm-locale-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) {
      s_why = "cannot create a temporary directory";
      return nullptr;
    }
    s_dir = tmpl;
    const std::string command =
        "localedef -i en_US -f ISO-8859-1 '" + (s_dir / "qm_latin1").string() + "' >/dev/null 2>&1";
    const int rc = std::system(command.c_str());
    // localedef exits 1 for warnings while still writing the locale, so
    // whether the locale loads is what counts.
    const char* oldPath = std::getenv("LOCPATH");
    const std::string savedPath = oldPath ? oldPath : "";
    setenv("LOCPATH", s_dir.c_str(), 1);
    locale_t loc;
    {
#ifdef __SANITIZE_ADDRESS__
      // glibc keeps the LOCPATH search list it builds here; not ours to free.
      __lsan::ScopedDisabler ignoreGlibcLocalePath;
#endif
      loc = newlocale(LC_ALL_MASK, "qm_latin1", static_cast<locale_t>(nullptr));
    }
    if (oldPath != nullptr)
      setenv("LOCPATH", savedPath.c_str(), 1);
    else
      unsetenv("LOCPATH");
    if (loc == nullptr || !IsLatin1(loc)) {
      if (loc != nullptr) freelocale(loc);
      s_why = "none installed and localedef could not make one (exit status " + std::to_string(rc) + ")";
      return nullptr;
    }
    return loc;
  }
};

locale_t Latin1Locale::s_locale = nullptr;
std::string Latin1Locale::s_why;
std::filesystem::path Latin1Locale::s_dir;

TEST_F(Latin1Locale, ThreadAcpFollowsTheThreadsLocale) {
  OnThreadWithLocale(s_locale, [] {
    EXPECT_EQ(platform::ThreadCodeset(), "ISO-8859-1");
    EXPECT_EQ(Decode(CP_THREAD_ACP, "caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(Decode(CP_ACP, "\xFF\xA0\x80"), u"\u00FF\u00A0\u0080");
    EXPECT_EQ(Decode(CP_THREAD_ACP, "caf\xE9", MB_ERR_INVALID_CHARS), u"caf\u00E9") << "every byte is Latin-1";
    EXPECT_EQ(Decode(CP_THREAD_ACP, "plain"), u"plain");
    char16_t buffer[8];
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "caf\xE9", -1, buffer, 8), 5);
    EXPECT_EQ(std::u16string(buffer, 5), std::u16string(u"caf\u00E9\0", 5));
    EXPECT_EQ(MultiByteToWideChar(CP_THREAD_ACP, 0, "caf\xE9", 4, buffer, 3), 0);
    // CP_UTF8 is UTF-8 whatever the locale.
    EXPECT_EQ(Decode(CP_UTF8, "caf\xC3\xA9"), u"caf\u00E9");
    std::u16string appended;
    platform::AppendMultiByteAsUtf16(CP_THREAD_ACP, "\xE9t\xE9", appended);
    EXPECT_EQ(appended, u"\u00E9t\u00E9");
  });
  // The test's own thread is untouched: the same byte is not Latin-1 here.
  EXPECT_NE(platform::ThreadCodeset(), "ISO-8859-1");
}

}  // namespace
