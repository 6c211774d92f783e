#include "text/simd/UUtf16Kernels.h"

#include "text/simd/UAvx512Kernels.h"
#include "text/simd/USsse3Kernels.h"

static_assert(TUtf16Kernels::kUtf16Slack >= TKernels::kUtf16Slack);

// One test per call, of a flag read once: calls come a line at a time.
template <bool BigEndian>
char* TUtf16Kernels::DecodeUtf16(const unsigned char* data, size_t units, char* o, size_t& replaced) {
#ifdef __SSE2__
  if (TAvx512Kernels::Supported()) return TAvx512Kernels::DecodeUtf16<BigEndian>(data, units, o, replaced);
  if (TSsse3Kernels::Supported()) return TSsse3Kernels::DecodeUtf16<BigEndian>(data, units, o, replaced);
#endif
  return TKernels::DecodeUtf16<BigEndian>(data, units, o, replaced);
}

template <bool BigEndian>
char* TUtf16Kernels::EncodeUtf16(const unsigned char* text, size_t size, char* o, bool replacing, size_t& replaced) {
#ifdef __SSE2__
  if (TAvx512Kernels::Supported()) return TAvx512Kernels::EncodeUtf16<BigEndian>(text, size, o, replacing, replaced);
  if (TSsse3Kernels::Supported()) return TSsse3Kernels::EncodeUtf16<BigEndian>(text, size, o, replacing, replaced);
#endif
  return EncodeUtf16Blocks<TKernels, BigEndian>(text, size, o, replacing, replaced);
}

template char* TUtf16Kernels::DecodeUtf16<false>(const unsigned char*, size_t, char*, size_t&);
template char* TUtf16Kernels::DecodeUtf16<true>(const unsigned char*, size_t, char*, size_t&);
template char* TUtf16Kernels::EncodeUtf16<false>(const unsigned char*, size_t, char*, bool, size_t&);
template char* TUtf16Kernels::EncodeUtf16<true>(const unsigned char*, size_t, char*, bool, size_t&);
