// COleVariant: a tagged value as the host's automation variant has it. The
// module stores two kinds only: 32-bit integers (VT_I4) and strings
// (VT_BSTR); a default or cleared variant is VT_EMPTY.
#pragma once

#include <platform/CString.h>
#include <platform/Types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::win {

enum : VARTYPE { VT_EMPTY = 0, VT_I4 = 3, VT_BSTR = 8 };

// A BSTR is a length-prefixed UTF-16 buffer that may hold NUL units; it is
// always NUL-terminated as well. Allocation failure throws std::bad_alloc.
using BSTR = char16_t*;
BSTR SysAllocStringLen(const char16_t* text, UINT length);
BSTR SysAllocString(const char16_t* text);
// Makes *text a string of length units copied from source (NUL units when
// source is null), as SysAllocStringLen would, and frees the old string.
// The old block is written over instead when the new text fits in it, so a
// string refilled with texts of similar length costs no allocation. source
// may point into *text. Returns TRUE.
int SysReAllocStringLen(BSTR* text, const char16_t* source, UINT length);
void SysFreeString(BSTR text);      // a null BSTR is accepted and ignored
UINT SysStringLen(BSTR text);       // 0 for a null BSTR

}  // namespace platform::win

// Value semantics: copying a variant copies its string; destruction or
// reassignment releases it. Reading a member that does not match vt is the
// caller's business, as with the host's variant.
class COleVariant {
 public:
  platform::win::VARTYPE vt = platform::win::VT_EMPTY;
  union {
    platform::win::LONG lVal;
    platform::win::BSTR bstrVal;
  };

  COleVariant() : bstrVal(nullptr) {}
  COleVariant(platform::win::LONG value) : bstrVal(nullptr) {  // NOLINT
    vt = platform::win::VT_I4;
    lVal = value;
  }
  COleVariant(const char16_t* text);   // NOLINT: VT_BSTR; null gives an empty string
  COleVariant(const CString& text);    // NOLINT: VT_BSTR, embedded NULs kept
  COleVariant(std::u16string_view text);  // NOLINT
  // Needed so a std::u16string is not ambiguous between CString and the view.
  COleVariant(const std::u16string& text) : COleVariant(std::u16string_view(text)) {}  // NOLINT
  COleVariant(const COleVariant& other);
  // Moves, clearing and destruction are defined here, inline: the fetch loop
  // and the record do them for every value of every row.
  COleVariant(COleVariant&& other) noexcept : bstrVal(nullptr) { Take(other); }
  COleVariant& operator=(const COleVariant& other);
  COleVariant& operator=(COleVariant&& other) noexcept {
    if (this != &other) {
      Clear();
      Take(other);
    }
    return *this;
  }
  ~COleVariant() { Clear(); }

  // Exchanges the two values, strings by pointer: what the record does
  // with every value of every row, three times for a held row.
  friend void swap(COleVariant& a, COleVariant& b) noexcept {
    const platform::win::VARTYPE type = a.vt;
    const platform::win::BSTR bits = a.bstrVal;  // the whole union: a string pointer or the integer
    a.vt = b.vt;
    a.bstrVal = b.bstrVal;
    b.vt = type;
    b.bstrVal = bits;
  }

  // Makes the value the text (VT_BSTR), in the string the variant holds
  // when the text fits in it (SysReAllocStringLen): what the fetch loop does
  // with every text value of every row.
  void SetText(std::u16string_view text);

  // Releases the value and makes the variant VT_EMPTY.
  void Clear() {
    if (vt == platform::win::VT_BSTR) platform::win::SysFreeString(bstrVal);
    vt = platform::win::VT_EMPTY;
    bstrVal = nullptr;
  }

 private:
  // Takes the other's value into this empty variant; the other is left empty.
  void Take(COleVariant& other) noexcept {
    vt = other.vt;
    if (vt == platform::win::VT_BSTR)
      bstrVal = other.bstrVal;
    else
      lVal = other.lVal;
    other.vt = platform::win::VT_EMPTY;
    other.bstrVal = nullptr;
  }
};
