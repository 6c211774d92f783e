// The compressed formats the program reads sources in and writes pieces in.
#pragma once

#include <string_view>

// A compressed format; cmUnknown for a name of none (a task's Compress).
enum TCompression { cmNone, cmGzip, cmZstd, cmUnknown };

// What a file compressed in Format has after its name: ".gz", ".zst", or
// nothing.
constexpr std::string_view CompressedSuffix(TCompression format) {
  return format == cmGzip ? ".gz" : format == cmZstd ? ".zst" : "";
}
