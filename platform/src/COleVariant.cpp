#include <platform/COleVariant.h>

#include <cstdlib>
#include <cstring>
#include <new>

// The platform's own Windows names, privately (Types.h says why they live in a namespace).
using namespace platform::win;

// Layout of a BSTR: a 32-bit byte length, then the code units, then a NUL.
// The pointer handed out points at the first code unit.
BSTR platform::win::SysAllocStringLen(const char16_t* text, UINT length) {
  const std::size_t bytes = sizeof(std::uint32_t) + (static_cast<std::size_t>(length) + 1) * sizeof(char16_t);
  auto* block = static_cast<unsigned char*>(std::malloc(bytes));
  if (block == nullptr) throw std::bad_alloc();
  const std::uint32_t byteLength = length * static_cast<std::uint32_t>(sizeof(char16_t));
  std::memcpy(block, &byteLength, sizeof byteLength);
  auto* units = reinterpret_cast<char16_t*>(block + sizeof(std::uint32_t));
  if (text != nullptr && length > 0) std::memcpy(units, text, length * sizeof(char16_t));
  else if (length > 0) std::memset(units, 0, length * sizeof(char16_t));
  units[length] = 0;
  return units;
}

BSTR platform::win::SysAllocString(const char16_t* text) {
  UINT n = 0;
  if (text != nullptr)
    while (text[n] != 0) ++n;
  return SysAllocStringLen(text, n);
}

void platform::win::SysFreeString(BSTR text) {
  if (text != nullptr) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

UINT platform::win::SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t byteLength;
  std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof byteLength);
  return byteLength / sizeof(char16_t);
}

COleVariant::COleVariant(const char16_t* text) : bstrVal(SysAllocString(text)) { vt = VT_BSTR; }

COleVariant::COleVariant(const CString& text)
    : bstrVal(SysAllocStringLen(text.GetString(), static_cast<UINT>(text.GetLength()))) {
  vt = VT_BSTR;
}

COleVariant::COleVariant(std::u16string_view text)
    : bstrVal(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  vt = VT_BSTR;
}

COleVariant::COleVariant(const COleVariant& other) : bstrVal(nullptr) {
  if (other.vt == VT_BSTR)
    bstrVal = SysAllocStringLen(other.bstrVal, SysStringLen(other.bstrVal));
  else if (other.vt == VT_I4)
    lVal = other.lVal;
  vt = other.vt;
}

COleVariant& COleVariant::operator=(const COleVariant& other) {
  if (this != &other) {
    COleVariant copy(other);  // copy first: a failed allocation leaves *this intact
    *this = std::move(copy);
  }
  return *this;
}
