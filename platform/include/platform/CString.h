// CString and CStringArray: the host framework's UTF-16 string and string
// array, with the operations the module uses under their usual names.
//
// Text is a sequence of UTF-16 code units (char16_t). Comparison is exact and
// ordinal: unit by unit by numeric value, a prefix before the longer text,
// case-sensitive. UTF-8 enters and leaves only through FromUtf8/ToUtf8.
#pragma once

#include <platform/Types.h>

#include <compare>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

class CString {
 public:
  CString() = default;
  CString(const char16_t* text) : m_text(text ? text : u"") {}  // NOLINT: implicit as in MFC
  CString(const char16_t* text, int length) : m_text(text, static_cast<std::size_t>(length)) {}
  CString(std::u16string text) : m_text(std::move(text)) {}  // NOLINT
  CString(std::u16string_view text) : m_text(text) {}         // NOLINT
  explicit CString(char16_t ch, int repeat = 1) : m_text(static_cast<std::size_t>(repeat), ch) {}

  static CString FromUtf8(std::string_view utf8);
  std::string ToUtf8() const;

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }
  char16_t GetAt(int index) const { return m_text.at(static_cast<std::size_t>(index)); }

  // The text up to its end, NUL-terminated. Valid until the string changes.
  const char16_t* GetString() const { return m_text.c_str(); }
  operator const char16_t*() const { return m_text.c_str(); }  // NOLINT: implicit as in MFC
  const std::u16string& str() const { return m_text; }
  std::u16string_view view() const { return m_text; }

  CString& operator+=(const CString& other) { m_text += other.m_text; return *this; }
  CString& operator+=(const char16_t* other) { if (other) m_text += other; return *this; }
  CString& operator+=(char16_t ch) { m_text += ch; return *this; }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
  friend CString operator+(const CString& a, const char16_t* b) { CString r(a); r += b; return r; }
  friend CString operator+(const char16_t* a, const CString& b) { CString r(a); r += b; return r; }
  // Without these, s + u',' would convert s to a pointer and add 44 to it.
  friend CString operator+(const CString& a, char16_t ch) { CString r(a); r += ch; return r; }
  friend CString operator+(char16_t ch, const CString& b) { CString r(ch); r += b; return r; }

  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CString& a, const char16_t* b) { return a.m_text == std::u16string_view(b ? b : u""); }
  friend std::strong_ordering operator<=>(const CString& a, const CString& b) { return a.m_text <=> b.m_text; }
  // Without this, s < u"x" is ambiguous with the built-in pointer comparison.
  friend std::strong_ordering operator<=>(const CString& a, const char16_t* b) {
    return a.view() <=> std::u16string_view(b ? b : u"");
  }

  // Ordinal comparison by code unit: negative, zero or positive.
  int Compare(const char16_t* other) const;

  // printf-style formatting. Conversions: %s takes text (CString,
  // std::u16string, std::u16string_view or const char16_t*; a null pointer
  // prints "(null)"), %d, %i and %u an integer, %% a percent sign; the
  // length modifiers l, ll, h, hh and z are accepted and ignored because
  // arguments carry their own width and signedness: an integer prints as its
  // own value whichever of %d/%u names it. Replacement text is
  // never scanned again, so text containing % is safe. A directive without a
  // matching argument, an argument of the wrong kind, an unknown directive or
  // arguments left over throw std::invalid_argument and leave the string
  // unchanged: these are programming faults, not data.
  template <typename... Args>
  void Format(const char16_t* format, const Args&... args) {
    const FormatArg packed[] = {FormatArg(args)..., FormatArg()};
    FormatPacked(format, packed, sizeof...(Args));
  }

  // Removes trailing characters that occur in the set (a NUL-terminated
  // list), or trailing occurrences of one character.
  CString& TrimRight(const char16_t* characterSet);
  CString& TrimRight(char16_t ch);

  // The argument kinds Format accepts. Public only so Format can build them.
  struct FormatArg {
    enum class Kind { None, Text, Signed, Unsigned } kind = Kind::None;
    std::u16string_view text;
    bool nullText = false;
    long long signedValue = 0;
    unsigned long long unsignedValue = 0;

    FormatArg() = default;
    FormatArg(const CString& s) : kind(Kind::Text), text(s.m_text) {}  // NOLINT
    FormatArg(const std::u16string& s) : kind(Kind::Text), text(s) {}  // NOLINT
    FormatArg(std::u16string_view s) : kind(Kind::Text), text(s) {}    // NOLINT
    FormatArg(const char16_t* s) : kind(Kind::Text), text(s ? s : u""), nullText(s == nullptr) {}  // NOLINT
    FormatArg(char16_t* s) : FormatArg(static_cast<const char16_t*>(s)) {}  // NOLINT
    template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_signed_v<T>, int> = 0>
    FormatArg(T v) : kind(Kind::Signed), signedValue(v) {}  // NOLINT
    template <typename T, std::enable_if_t<std::is_integral_v<T> && std::is_unsigned_v<T> &&
                                               !std::is_same_v<T, char16_t> && !std::is_same_v<T, bool>,
                                           int> = 0>
    FormatArg(T v) : kind(Kind::Unsigned), unsignedValue(v) {}  // NOLINT
  };

 private:
  void FormatPacked(const char16_t* format, const FormatArg* args, std::size_t count);

  std::u16string m_text;
};

// A growable array of strings, indexed from 0.
class CStringArray {
 public:
  CStringArray() = default;
  CStringArray(std::initializer_list<CString> items) : m_items(items) {}

  platform::win::INT_PTR GetSize() const { return static_cast<platform::win::INT_PTR>(m_items.size()); }
  platform::win::INT_PTR GetCount() const { return GetSize(); }
  bool IsEmpty() const { return m_items.empty(); }
  // Throws std::out_of_range for an index outside the array.
  const CString& GetAt(platform::win::INT_PTR index) const { return m_items.at(static_cast<std::size_t>(index)); }
  CString& ElementAt(platform::win::INT_PTR index) { return m_items.at(static_cast<std::size_t>(index)); }
  const CString& operator[](platform::win::INT_PTR index) const { return GetAt(index); }
  CString& operator[](platform::win::INT_PTR index) { return ElementAt(index); }
  // Stores at the index, growing the array with empty strings when needed.
  void SetAtGrow(platform::win::INT_PTR index, const CString& value);
  // Appends and returns the new element's index.
  platform::win::INT_PTR Add(const CString& value) { m_items.push_back(value); return GetSize() - 1; }
  void RemoveAll() { m_items.clear(); }

  auto begin() const { return m_items.begin(); }
  auto end() const { return m_items.end(); }

 private:
  std::vector<CString> m_items;
};
