#include <platform/CString.h>
#include <platform/Utf.h>

#include <stdexcept>

CString CString::FromUtf8(std::string_view utf8) { return CString(platform::Utf8ToUtf16(utf8)); }

std::string CString::ToUtf8() const { return platform::Utf16ToUtf8(m_text); }

int CString::Compare(const char16_t* other) const {
  const int c = std::u16string_view(m_text).compare(std::u16string_view(other ? other : u""));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

namespace {

void AppendUnsigned(std::u16string& out, unsigned long long v) {
  char16_t digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  while (n > 0) out.push_back(digits[--n]);
}

void AppendSigned(std::u16string& out, long long v) {
  if (v < 0) {
    out.push_back(u'-');
    // Negate in unsigned arithmetic so the most negative value is exact.
    AppendUnsigned(out, 0ULL - static_cast<unsigned long long>(v));
  } else {
    AppendUnsigned(out, static_cast<unsigned long long>(v));
  }
}

[[noreturn]] void FormatFault(const char* what) { throw std::invalid_argument(std::string("CString::Format: ") + what); }

}  // namespace

void CString::FormatPacked(const char16_t* format, const FormatArg* args, std::size_t count) {
  if (format == nullptr) FormatFault("null format");
  std::u16string out;
  std::size_t next = 0;
  for (const char16_t* p = format; *p != 0; ++p) {
    if (*p != u'%') {
      out.push_back(*p);
      continue;
    }
    ++p;
    if (*p == u'%') {
      out.push_back(u'%');
      continue;
    }
    // Length modifiers carry no meaning: every argument knows its width.
    while (*p == u'l' || *p == u'h' || *p == u'z') ++p;
    if (*p == 0) FormatFault("format ends inside a directive");
    if (next >= count) FormatFault("more directives than arguments");
    const FormatArg& arg = args[next++];
    switch (*p) {
      case u's':
        if (arg.kind != FormatArg::Kind::Text) FormatFault("%s needs text");
        if (arg.nullText)
          out += u"(null)";
        else
          out += arg.text;
        break;
      case u'd':
      case u'i':
      case u'u':
        // The argument's own type decides: reinterpreting would print a
        // large unsigned value as negative, or -1 as 18446744073709551615.
        if (arg.kind == FormatArg::Kind::Signed)
          AppendSigned(out, arg.signedValue);
        else if (arg.kind == FormatArg::Kind::Unsigned)
          AppendUnsigned(out, arg.unsignedValue);
        else
          FormatFault("%d, %i and %u need an integer");
        break;
      default:
        FormatFault("unsupported directive");
    }
  }
  if (next != count) FormatFault("more arguments than directives");
  m_text = std::move(out);
}

CString& CString::TrimRight(const char16_t* characterSet) {
  if (characterSet == nullptr) return *this;
  const std::u16string_view set(characterSet);
  std::size_t end = m_text.size();
  while (end > 0 && set.find(m_text[end - 1]) != std::u16string_view::npos) --end;
  m_text.resize(end);
  return *this;
}

CString& CString::TrimRight(char16_t ch) {
  std::size_t end = m_text.size();
  while (end > 0 && m_text[end - 1] == ch) --end;
  m_text.resize(end);
  return *this;
}

void CStringArray::SetAtGrow(platform::win::INT_PTR index, const CString& value) {
  if (index < 0) throw std::out_of_range("CStringArray::SetAtGrow: negative index");
  const auto i = static_cast<std::size_t>(index);
  if (i >= m_items.size()) m_items.resize(i + 1);
  m_items[i] = value;
}
