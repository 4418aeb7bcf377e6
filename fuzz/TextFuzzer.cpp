// libFuzzer target for the text layer every catalogue value passes through:
// the UTF-8/UTF-16 converters, the code-page conversion, CString::Format
// and the fetch loop's record (CommonDataObject). Besides what the
// sanitizers catch, each input checks properties the layer promises:
//
//   converters      UTF-16 out is always well formed; a well-formed UTF-16
//                   text survives UTF-8 and back; glibc's iconv, where it
//                   accepts the bytes, decodes them the same way
//   code pages      the length asked for is the length written, a buffer one
//                   unit short is refused, MB_ERR_INVALID_CHARS refuses
//                   exactly the input that decodes with a replacement, and
//                   CP_UTF8 and CP_THREAD_ACP agree in a UTF-8 or C locale
//   Format          a format built from literal runs and directives gives the
//                   literals and the arguments' text, never rescanned; any
//                   other format either formats or throws invalid_argument
//                   and leaves the string as it was
//   record          Set/Get/GetString/GetInteger/Replace/Reset/copy behave as
//                   a plain map with "first value for a name stays"
//
// A broken property aborts, so libFuzzer keeps the input as a crash.
#include <platform/COleVariant.h>
#include <platform/CString.h>
#include <platform/CodePage.h>
#include <platform/Utf.h>
#include <schemaimport/CommonDataObject.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <iconv.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

// The host's Windows names, as the module's own sources use them.
using namespace platform::win;

namespace {

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "text fuzzer: property broken: %s\n", what);
    std::abort();
  }
}

bool IsHigh(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLow(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool WellFormed(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      ++i;
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      return false;
    }
  }
  return true;
}

// The text with every unpaired surrogate replaced by U+FFFD.
std::u16string Repaired(const std::u16string& text) {
  std::u16string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsHigh(text[i]) && i + 1 < text.size() && IsLow(text[i + 1])) {
      out += text[i];
      out += text[++i];
    } else if (IsHigh(text[i]) || IsLow(text[i])) {
      out += u'\xFFFD';
    } else {
      out += text[i];
    }
  }
  return out;
}

// glibc's own decoding, or nothing when it refuses the bytes.
std::optional<std::u16string> IconvDecode(const std::string& bytes) {
  static iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < out.size() - outLeft; i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(out[i]) | (static_cast<unsigned char>(out[i + 1]) << 8));
  return text;
}

std::u16string Units(FuzzedDataProvider& data, std::size_t maxUnits) {
  const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, maxUnits);
  std::u16string text;
  for (std::size_t i = 0; i < count && data.remaining_bytes() >= 2; ++i) text += data.ConsumeIntegral<char16_t>();
  return text;
}

// ---- Converters and code pages

void FuzzConverters(FuzzedDataProvider& data) {
  const std::string bytes = data.ConsumeRandomLengthString(512);
  const std::u16string decoded = platform::Utf8ToUtf16(bytes);
  Check(WellFormed(decoded), "Utf8ToUtf16 gives well-formed UTF-16");
  const std::string encoded = platform::Utf16ToUtf8(decoded);
  Check(platform::Utf8ToUtf16(encoded) == decoded, "decoded text survives UTF-8 and back");
  if (const std::optional<std::u16string> reference = IconvDecode(bytes)) {
    Check(*reference == decoded, "bytes iconv accepts decode as iconv decodes them");
    Check(encoded == bytes, "valid UTF-8 survives UTF-16 and back");
  }

  const std::u16string units = Units(data, 256);
  const std::string utf8 = platform::Utf16ToUtf8(units);
  Check(platform::Utf8ToUtf16(utf8) == Repaired(units), "UTF-16 survives UTF-8 and back, lone surrogates as U+FFFD");
  Check(IconvDecode(utf8).has_value(), "Utf16ToUtf8 gives UTF-8 that iconv accepts");

  // The code-page entry point, in the thread's locale: C or C.UTF-8, which
  // both decode UTF-8.
  static locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
  static locale_t utf8Locale = newlocale(LC_ALL_MASK, "C.UTF-8", nullptr);
  locale_t chosen = data.ConsumeBool() ? cLocale : utf8Locale;
  if (chosen == nullptr) chosen = cLocale;
  const locale_t previous = uselocale(chosen);
  const UINT codePage = data.ConsumeBool() ? CP_UTF8 : CP_THREAD_ACP;
  if (!bytes.empty()) {
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
    Check(needed == static_cast<int>(decoded.size()), "the length asked for is the decoded length");
    std::vector<char16_t> buffer(static_cast<std::size_t>(needed) + 1, u'\x1234');
    Check(MultiByteToWideChar(codePage, 0, bytes.data(), length, buffer.data(), needed) == needed,
          "the length written is the length asked for");
    Check(std::u16string(buffer.data(), static_cast<std::size_t>(needed)) == decoded, "the units written are the decoded text");
    Check(buffer[static_cast<std::size_t>(needed)] == u'\x1234', "nothing is written past the buffer");
    // (A length of 0 asks for the length instead.)
    if (needed > 1)
      Check(MultiByteToWideChar(codePage, 0, bytes.data(), length, buffer.data(), needed - 1) == 0,
            "a buffer one unit short is refused");
    const int strict = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    Check((strict == 0) == !IconvDecode(bytes).has_value(), "MB_ERR_INVALID_CHARS refuses exactly the invalid input");
    // NUL-terminated: the text up to the NUL, and the NUL.
    const std::string terminated = bytes.substr(0, bytes.find('\0'));
    const int withNul = MultiByteToWideChar(codePage, 0, terminated.c_str(), -1, nullptr, 0);
    Check(withNul == static_cast<int>(platform::Utf8ToUtf16(terminated).size()) + 1, "-1 counts the terminating NUL");
  }
  std::u16string appended = u"x";
  platform::AppendMultiByteAsUtf16(codePage, bytes, appended);
  Check(appended == u"x" + decoded, "AppendMultiByteAsUtf16 appends the decoded text");
  uselocale(previous);
}

// ---- CString::Format

void FuzzFormat(FuzzedDataProvider& data) {
  // Arguments: text that looks like directives, and integers at the edges.
  const CString text(Units(data, 16) + u"%s%d%%");
  const long long signedValue = data.ConsumeIntegral<long long>();
  const unsigned long long unsignedValue = data.ConsumeIntegral<unsigned long long>();
  const bool nullPointer = data.ConsumeBool();
  const std::u16string pointerText = Units(data, 8);
  const char16_t* pointer = nullPointer ? nullptr : pointerText.c_str();

  // A format built from literal runs and directives, with its expected
  // result built alongside.
  const int directives = data.ConsumeIntegralInRange<int>(0, 4);
  std::u16string format;
  std::u16string expected;
  auto literal = [&] {
    std::u16string run = Units(data, 6);
    for (char16_t unit : run) {
      if (unit == u'\0') continue;
      format += unit;
      if (unit == u'%') format += u'%';
      expected += unit;
    }
  };
  auto modifiers = [&] {
    static const char16_t* const kModifiers[] = {u"", u"l", u"ll", u"h", u"hh", u"z"};
    format += kModifiers[data.ConsumeIntegralInRange<int>(0, 5)];
  };
  static const char16_t kIntegerLetters[] = {u'd', u'i', u'u'};
  const std::u16string signedText = CString::FromUtf8(std::to_string(signedValue)).str();
  const std::u16string unsignedText = CString::FromUtf8(std::to_string(unsignedValue)).str();
  literal();
  for (int i = 0; i < directives; ++i) {
    format += u'%';
    switch (i) {
      case 0:
        format += u's';
        expected += text.str();
        break;
      case 1:
        modifiers();
        format += kIntegerLetters[data.ConsumeIntegralInRange<int>(0, 2)];
        expected += signedText;
        break;
      case 2:
        modifiers();
        format += kIntegerLetters[data.ConsumeIntegralInRange<int>(0, 2)];
        expected += unsignedText;
        break;
      case 3:
        format += u's';
        expected += nullPointer ? u"(null)" : pointerText.c_str();
        break;
    }
    literal();
  }
  CString result(u"before");
  switch (directives) {
    case 0: result.Format(format.c_str()); break;
    case 1: result.Format(format.c_str(), text); break;
    case 2: result.Format(format.c_str(), text, signedValue); break;
    case 3: result.Format(format.c_str(), text, signedValue, unsignedValue); break;
    default: result.Format(format.c_str(), text, signedValue, unsignedValue, pointer); break;
  }
  Check(result.str() == expected, "a built format gives its literals and its arguments' text");

  // Any format: it formats, or it refuses and leaves the string alone.
  const std::u16string raw = Units(data, 24);
  CString any(u"unchanged");
  try {
    any.Format(raw.c_str(), text, signedValue);
  } catch (const std::invalid_argument&) {
    Check(any.str() == u"unchanged", "a refused format leaves the string as it was");
  }

  // TrimRight leaves a prefix that ends in none of the set's characters.
  CString trimmed(Units(data, 16));
  const std::u16string original = trimmed.str();
  const std::u16string set = Units(data, 4);
  trimmed.TrimRight(set.c_str());
  Check(original.compare(0, trimmed.str().size(), trimmed.str()) == 0, "TrimRight leaves a prefix");
  Check(trimmed.IsEmpty() || set.c_str()[0] == u'\0' ||
            std::u16string_view(set.c_str()).find(trimmed.str().back()) == std::u16string_view::npos,
        "TrimRight removes every trailing character of the set");
}

// ---- The record

struct Value {
  bool text = false;      // VT_BSTR, else VT_I4
  std::u16string units;   // the text, NULs included
  int number = 0;         // the integer
};

// The leading integer of text, per the record's contract: blanks, one
// sign, decimal digits; low 32 bits.
int LeadingInteger(const std::u16string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  unsigned long long value = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) value = value * 10 + (text[i] - u'0');
  const auto low = static_cast<std::uint32_t>(negative ? 0 - value : value);
  return static_cast<std::int32_t>(low);
}

COleVariant ToVariant(const Value& value) {
  return value.text ? COleVariant(std::u16string_view(value.units)) : COleVariant(static_cast<LONG>(value.number));
}

void CheckRecord(const CommonDataObject& record, const std::map<std::u16string, Value>& reference,
                 const std::vector<std::u16string>& probes) {
  Check(record.Size() == reference.size(), "the record holds as many entries as the map");
  auto entry = record.Iterator();
  for (const auto& [name, value] : reference) {
    Check(entry != record.End() && entry->first == name, "entries come in the map's order");
    ++entry;
  }
  for (const std::u16string& name : probes) {
    const auto found = reference.find(name);
    const COleVariant got = record.Get(name);
    const CString text = record.GetString(name);
    const int number = record.GetInteger(name);
    if (found == reference.end()) {
      Check(got.vt == VT_EMPTY && text.IsEmpty() && number == 0, "an absent name reads as nothing");
      continue;
    }
    const Value& value = found->second;
    if (value.text) {
      Check(got.vt == VT_BSTR && std::u16string(got.bstrVal, SysStringLen(got.bstrVal)) == value.units,
            "Get returns the text stored first");
      Check(text.str() == std::u16string(value.units.c_str()), "GetString returns the text up to its first NUL");
      Check(number == LeadingInteger(value.units), "GetInteger reads the leading integer of text");
    } else {
      Check(got.vt == VT_I4 && got.lVal == value.number, "Get returns the integer stored first");
      Check(text.IsEmpty(), "GetString of an integer is empty");
      Check(number == value.number, "GetInteger returns the integer");
    }
  }
}

void FuzzRecord(FuzzedDataProvider& data) {
  CommonDataObject record;
  std::map<std::u16string, Value> reference;
  std::vector<std::u16string> names;  // names seen, to probe and reuse
  auto name = [&]() -> std::u16string {
    if (!names.empty() && data.ConsumeBool()) return names[data.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
    names.push_back(Units(data, 6));
    return names.back();
  };
  auto value = [&] {
    Value v;
    v.text = data.ConsumeBool();
    if (v.text) {
      // Often a number in text, with blanks and a sign.
      v.units = data.ConsumeBool() ? CString::FromUtf8(data.ConsumeRandomLengthString(24)).str() : Units(data, 12);
    } else {
      v.number = data.ConsumeIntegral<int>();
    }
    return v;
  };
  for (int step = 0; step < 64 && data.remaining_bytes() > 0; ++step) {
    switch (data.ConsumeIntegralInRange<int>(0, 5)) {
      case 0:
      case 1: {
        const std::u16string key = name();
        const Value v = value();
        if (data.ConsumeBool()) {
          record.Set(key, ToVariant(v));
        } else {
          COleVariant moved = ToVariant(v);
          record.Set(static_cast<const std::u16string&>(key), std::move(moved));
        }
        reference.emplace(key, v);
        break;
      }
      case 2: {
        // A row as the fetch hands it over: names (repeats possible) and values.
        const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 6);
        std::vector<std::u16string> keys;
        std::vector<Value> values;
        for (std::size_t i = 0; i < count; ++i) {
          keys.push_back(name());
          values.push_back(value());
        }
        if (data.ConsumeBool()) std::sort(keys.begin(), keys.end());
        std::vector<const std::u16string*> keyPointers;
        std::vector<COleVariant> variants;
        for (std::size_t i = 0; i < count; ++i) {
          keyPointers.push_back(&keys[i]);
          variants.push_back(ToVariant(values[i]));
        }
        record.Replace(keyPointers, variants);
        reference.clear();
        for (std::size_t i = 0; i < count; ++i) reference.emplace(keys[i], values[i]);
        break;
      }
      case 3:
        record.Reset();
        reference.clear();
        break;
      case 4: {
        CommonDataObject copy(record);
        record = CommonDataObject();
        record = copy;
        break;
      }
      case 5:
        CheckRecord(record, reference, names);
        break;
    }
  }
  CheckRecord(record, reference, names);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::setlocale(LC_ALL, "C.UTF-8");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  switch (data.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
      FuzzConverters(data);
      break;
    case 1:
      FuzzFormat(data);
      break;
    default:
      FuzzRecord(data);
      break;
  }
  return 0;
}
