// The operations CInputFile builds on top of ReadByte and Read: fixed-size values in both
// byte orders and arrays of them.
#include <bit>
#include <climits>
#include <cstdint>
#include <type_traits>

#include <vexa/stream.h>

namespace {

template <typename T>
T ByteSwap(T value) {
  using U = std::make_unsigned_t<T>;
  const auto bits = static_cast<U>(value);
  U out = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i) {
    out = static_cast<U>((out << 8) | ((bits >> (8 * i)) & 0xFFu));
  }
  return static_cast<T>(out);
}

// Elements in memory are little-endian after a plain read; put them in host order.
template <typename T>
T FromLittle(T value) {
  return std::endian::native == std::endian::little ? value : ByteSwap(value);
}
template <typename T>
T FromBig(T value) {
  return std::endian::native == std::endian::big ? value : ByteSwap(value);
}

// Reads count elements with one Read and converts the elements that arrived completely.
template <typename T, typename Convert>
int ReadArray(CInputFile& stream, T* values, int count, Convert convert) {
  if (count < 0 || count > INT_MAX / static_cast<int>(sizeof(T))) return kStreamReadError;
  int delivered = 0;
  const int code = stream.Read(values, count * static_cast<int>(sizeof(T)), &delivered);
  const int whole = delivered / static_cast<int>(sizeof(T));
  for (int i = 0; i < whole; ++i) values[i] = convert(values[i]);
  return code;
}

}  // namespace

void CInputFile::Delete() { Destroy(1); }

int CInputFile::ReadWord(WORD* value) {
  BYTE low = 0, high = 0;
  if (int code = ReadByte(&low)) return code;
  if (int code = ReadByte(&high)) return code;
  *value = static_cast<WORD>(low | (high << 8));
  return kStreamOk;
}

int CInputFile::ReadDWord(DWORD* value) {
  WORD low = 0, high = 0;
  if (int code = ReadWord(&low)) return code;
  if (int code = ReadWord(&high)) return code;
  *value = low | (static_cast<DWORD>(high) << 16);
  return kStreamOk;
}

int CInputFile::ReadWordBE(WORD* value) {
  BYTE high = 0, low = 0;
  if (int code = ReadByte(&high)) return code;
  if (int code = ReadByte(&low)) return code;
  *value = static_cast<WORD>(low | (high << 8));
  return kStreamOk;
}

int CInputFile::ReadDWordBE(DWORD* value) {
  WORD high = 0, low = 0;
  if (int code = ReadWordBE(&high)) return code;
  if (int code = ReadWordBE(&low)) return code;
  *value = low | (static_cast<DWORD>(high) << 16);
  return kStreamOk;
}

int CInputFile::ReadInt(LONG* value) {
  DWORD raw = 0;
  const int code = ReadDWord(&raw);
  if (code == kStreamOk) *value = static_cast<LONG>(raw);
  return code;
}

int CInputFile::ReadIntBE(LONG* value) {
  DWORD raw = 0;
  const int code = ReadDWordBE(&raw);
  if (code == kStreamOk) *value = static_cast<LONG>(raw);
  return code;
}

int CInputFile::ReadWords(WORD* values, int count) {
  return ReadArray(*this, values, count, FromLittle<WORD>);
}
int CInputFile::ReadDWords(DWORD* values, int count) {
  return ReadArray(*this, values, count, FromLittle<DWORD>);
}
int CInputFile::ReadInts(LONG* values, int count) {
  return ReadArray(*this, values, count, FromLittle<LONG>);
}
int CInputFile::ReadWordsBE(WORD* values, int count) {
  return ReadArray(*this, values, count, FromBig<WORD>);
}
int CInputFile::ReadDWordsBE(DWORD* values, int count) {
  return ReadArray(*this, values, count, FromBig<DWORD>);
}
int CInputFile::ReadIntsBE(LONG* values, int count) {
  return ReadArray(*this, values, count, FromBig<LONG>);
}
