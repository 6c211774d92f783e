// The text kernels this build uses: SSE2 where the compiler targets it (every
// x86-64 processor), plain C++ on every other processor.
#pragma once

#include "text/simd/UPlainKernels.h"
#include "text/simd/USse2Kernels.h"

#ifdef __SSE2__
using TKernels = TSse2Kernels;
#else
using TKernels = TPlainKernels;
#endif
