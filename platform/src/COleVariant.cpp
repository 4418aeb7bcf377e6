#include <platform/COleVariant.h>

#include <cstdlib>
#include <cstring>
#include <new>

// The platform's own Windows names, privately (Types.h says why they live in a namespace).
using namespace platform::win;

// Layout of a BSTR: the block's capacity in code units (NUL excluded), a
// 32-bit byte length, then the code units, then a NUL. The pointer handed
// out points at the first code unit, with the length right before it.
namespace {

constexpr std::size_t kHeader = 2 * sizeof(std::uint32_t);

unsigned char* BlockOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - kHeader; }

std::uint32_t CapacityOf(BSTR text) {
  std::uint32_t capacity;
  std::memcpy(&capacity, BlockOf(text), sizeof capacity);
  return capacity;
}

// Writes the length, the units (NUL units for a null text) and the NUL.
// memmove: a text being refilled from itself.
void Fill(BSTR units, const char16_t* text, UINT length) {
  const std::uint32_t byteLength = length * static_cast<std::uint32_t>(sizeof(char16_t));
  std::memcpy(reinterpret_cast<unsigned char*>(units) - sizeof byteLength, &byteLength, sizeof byteLength);
  if (text != nullptr && length > 0) std::memmove(units, text, length * sizeof(char16_t));
  else if (length > 0) std::memset(units, 0, length * sizeof(char16_t));
  units[length] = 0;
}

// A new string: the block rounded up to 16 bytes, as the allocator would
// anyway, so that a refill with a slightly longer text stays in it.
BSTR Allocate(const char16_t* text, UINT length) {
  const std::size_t bytes = (kHeader + (static_cast<std::size_t>(length) + 1) * sizeof(char16_t) + 15) & ~std::size_t{15};
  auto* block = static_cast<unsigned char*>(std::malloc(bytes));
  if (block == nullptr) throw std::bad_alloc();
  const auto capacity = static_cast<std::uint32_t>((bytes - kHeader) / sizeof(char16_t) - 1);
  std::memcpy(block, &capacity, sizeof capacity);
  auto* units = reinterpret_cast<char16_t*>(block + kHeader);
  Fill(units, text, length);
  return units;
}

void Free(BSTR text) {
  if (text != nullptr) std::free(BlockOf(text));
}

void Refill(BSTR* text, const char16_t* source, UINT length) {
  if (*text != nullptr && length <= CapacityOf(*text)) {
    Fill(*text, source, length);
    return;
  }
  // Copied before the old string goes: source may point into it.
  const BSTR fresh = Allocate(source, length);
  Free(*text);
  *text = fresh;
}

}  // namespace

BSTR platform::win::SysAllocStringLen(const char16_t* text, UINT length) { return Allocate(text, length); }

BSTR platform::win::SysAllocString(const char16_t* text) {
  UINT n = 0;
  if (text != nullptr)
    while (text[n] != 0) ++n;
  return Allocate(text, n);
}

int platform::win::SysReAllocStringLen(BSTR* text, const char16_t* source, UINT length) {
  Refill(text, source, length);
  return TRUE;
}

void platform::win::SysFreeString(BSTR text) { Free(text); }

UINT platform::win::SysStringLen(BSTR text) {
  if (text == nullptr) return 0;
  std::uint32_t byteLength;
  std::memcpy(&byteLength, reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t), sizeof byteLength);
  return byteLength / sizeof(char16_t);
}

COleVariant::COleVariant(const char16_t* text) : bstrVal(SysAllocString(text)) { vt = VT_BSTR; }

COleVariant::COleVariant(const CString& text)
    : bstrVal(Allocate(text.GetString(), static_cast<UINT>(text.GetLength()))) {
  vt = VT_BSTR;
}

COleVariant::COleVariant(std::u16string_view text)
    : bstrVal(Allocate(text.data(), static_cast<UINT>(text.size()))) {
  vt = VT_BSTR;
}

void COleVariant::SetText(std::u16string_view text) {
  const auto length = static_cast<UINT>(text.size());
  if (vt == VT_BSTR) {
    Refill(&bstrVal, text.data(), length);
    return;
  }
  bstrVal = Allocate(text.data(), length);
  vt = VT_BSTR;
}

COleVariant::COleVariant(const COleVariant& other) : bstrVal(nullptr) {
  if (other.vt == VT_BSTR)
    bstrVal = Allocate(other.bstrVal, SysStringLen(other.bstrVal));
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
