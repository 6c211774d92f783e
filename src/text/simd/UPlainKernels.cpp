#include "text/simd/UPlainKernels.h"

#include "text/simd/UUtf16Character.h"

int64_t TPlainKernels::CountLineFeeds(const char* data, size_t size) {
  int64_t count = 0;
  size_t i = 0;
  for (; size - i >= 8; i += 8) count += std::popcount(ZeroBytes(Load64(data + i) ^ (kOnes * '\n')));
  for (; i < size; ++i) count += data[i] == '\n';
  return count;
}

template <bool BigEndian>
char* TPlainKernels::DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced) {
  // Four units at a time while they are ASCII, as most of most text is: the
  // high byte zero, and the low byte below 0x80.
  constexpr uint64_t kBeyondAscii = BigEndian ? 0x80FF80FF80FF80FF : 0xFF80FF80FF80FF80;
  constexpr int kLow = BigEndian ? 1 : 0;
  size_t i = 0;
  while (i < units) {
    if (units - i >= 4 && (Load64(data + 2 * i) & kBeyondAscii) == 0) {
      for (size_t k = 0; k < 4; ++k) o[k] = static_cast<char>(data[2 * (i + k) + kLow]);
      o += 4;
      i += 4;
      continue;
    }
    i = DecodeUtf16Character<BigEndian>(data, units, i, o, replaced);
  }
  return o;
}

template char* TPlainKernels::DecodeUtf16<false>(const unsigned char*, size_t, char*, size_t&);
template char* TPlainKernels::DecodeUtf16<true>(const unsigned char*, size_t, char*, size_t&);
