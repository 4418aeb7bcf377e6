// UTF-8/UTF-16 converters and MultiByteToWideChar: the fixed cases (random
// input is the text fuzz target's).
#include <platform/CodePage.h>
#include <platform/Utf.h>

#include <gtest/gtest.h>

#include <langinfo.h>
#include <locale.h>
#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

constexpr char16_t kFffd = 0xFFFD;

// Decodes the way callers do: size query, then conversion; the two agree.
std::u16string Decode(UINT codePage, const std::string& bytes, DWORD flags = 0) {
  const int needed = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::u16string out(static_cast<std::size_t>(needed), u'\0');
  if (needed == 0) return out;
  const int written =
      MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), needed);
  EXPECT_EQ(written, needed) << "size query and conversion disagree";
  return out;
}

TEST(Utf8ToUtf16, EachBrokenOrNonScalarSequenceBecomesOneReplacementInPlace) {
  const struct {
    const char* what;
    std::string bytes;
    std::u16string expected;
  } cases[] = {
      {"boundaries", "\x7F\xC2\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF", {0x7F, 0x80, 0xFFFF, 0xDBFF, 0xDFFF}},
      {"embedded NUL", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"overlong NUL", "\xC0\x80x", {kFffd, u'x'}},
      {"overlong 3-byte", "\xE0\x80\xAFx", {kFffd, u'x'}},
      {"overlong 4-byte", "\xF0\x8F\xBF\xBFx", {kFffd, u'x'}},
      {"surrogate", "\xED\xA0\x80x", {kFffd, u'x'}},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80x", {kFffd, u'x'}},
      {"CESU-8 pair", "\xED\xA0\xBD\xED\xB8\x80", {kFffd, kFffd}},
      {"5-byte form", "\xF8\x88\x80\x80\x80", std::u16string(5, kFffd)},
      {"stray continuations", "\x80\xBFx", {kFffd, kFffd, u'x'}},
      {"broken in the middle", "a\xC3(b", {u'a', kFffd, u'(', u'b'}},
      {"truncated at the end", "ab\xE2\x82", {u'a', u'b', kFffd}},
      {"a new lead byte ends it", "\xE2\x82\xE2\x82\xAC", {kFffd, 0x20AC}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::Utf8ToUtf16(c.bytes), c.expected) << c.what;
    EXPECT_EQ(Decode(CP_UTF8, c.bytes), c.expected) << c.what;
  }
  using platform::Utf16ToUtf8;
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a\xEF\xBF\xBD") << "high surrogate at the end";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00, 0xD83D}), "\xEF\xBF\xBD\xEF\xBF\xBD") << "reversed pair";
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), "\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

TEST(MultiByteToWideChar, InvalidCharsLengthsAndArguments) {
  char16_t buffer[16];
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3(b", 4, buffer, 16), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ab\xE2\x82", 4, nullptr, 0), 0);
  // A real U+FFFD in the input is valid text, but not when it hides a fault.
  EXPECT_EQ(Decode(CP_UTF8, "x\xEF\xBF\xBD", MB_ERR_INVALID_CHARS), (std::u16string{u'x', kFffd}));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "\xEF\xBF\xBD\xFF", 4, buffer, 16), 0);
  // -1: the text up to its NUL, which is counted and written.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9", -1, nullptr, 0), 2);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xC3\xA9", -1, buffer, 16), 2);
  EXPECT_EQ(std::u16string(buffer, 2), std::u16string(u"\u00E9\0", 2));
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, buffer, 3), 0) << "no room for the NUL";
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, nullptr, 3, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -2, buffer, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, buffer, -1), 0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 8), 0);
  EXPECT_EQ(MultiByteToWideChar(1252, 0, "abc", 3, buffer, 8), 0) << "unknown code page";
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

// The thread's code page follows its locale: a Latin-1 one, generated into
// a temporary directory with localedef (no network needed).
TEST(MultiByteToWideChar, ThreadAcpFollowsTheThreadsLatin1Locale) {
  std::string dir = (std::filesystem::temp_directory_path() / "qm-locale-XXXXXX").string();
  ASSERT_NE(mkdtemp(dir.data()), nullptr);
  // localedef exits 1 for warnings while still writing the locale, so
  // whether the locale loads is what counts.
  const int rc = std::system(("localedef -i en_US -f ISO-8859-1 '" + dir + "/qm_latin1' >/dev/null 2>&1").c_str());
  const char* oldPath = std::getenv("LOCPATH");
  const std::string savedPath = oldPath ? oldPath : "";
  setenv("LOCPATH", dir.c_str(), 1);
  locale_t latin1;
  {
#ifdef __SANITIZE_ADDRESS__
    // glibc keeps the LOCPATH search list it builds here; not ours to free.
    __lsan::ScopedDisabler ignoreGlibcLocalePath;
#endif
    latin1 = newlocale(LC_ALL_MASK, "qm_latin1", static_cast<locale_t>(nullptr));
  }
  oldPath != nullptr ? setenv("LOCPATH", savedPath.c_str(), 1) : unsetenv("LOCPATH");
  std::filesystem::remove_all(dir);
  if (latin1 == nullptr) GTEST_SKIP() << "localedef could not make an ISO-8859-1 locale (exit status " << rc << ")";

  // On a thread of its own, so the test's own thread keeps its locale.
  std::thread([latin1] {
    const locale_t previous = uselocale(latin1);
    EXPECT_EQ(platform::ThreadCodeset(), "ISO-8859-1");
    EXPECT_EQ(Decode(CP_THREAD_ACP, "caf\xE9", MB_ERR_INVALID_CHARS), u"caf\u00E9") << "every byte is Latin-1";
    EXPECT_EQ(Decode(CP_ACP, "\xFF\xA0\x80"), u"\u00FF\u00A0\u0080");
    EXPECT_EQ(Decode(CP_UTF8, "caf\xC3\xA9"), u"caf\u00E9") << "CP_UTF8 is UTF-8 whatever the locale";
    std::u16string appended;
    platform::AppendMultiByteAsUtf16(CP_THREAD_ACP, "\xE9t\xE9", appended);
    EXPECT_EQ(appended, u"\u00E9t\u00E9");
    uselocale(previous);
  }).join();
  freelocale(latin1);
  // The test's own thread is untouched: the same byte is not Latin-1 here.
  EXPECT_NE(platform::ThreadCodeset(), "ISO-8859-1");
}

}  // namespace
