#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "support/Compression.h"
#include "util/UDecompressingSource.h"
#include "util/UErrors.h"

namespace {

// Lines of words, compressible but not trivially so.
std::string Text(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  const char* words[] = {"alpha", "Москва", "東京", "delta", "echo,", "\"quoted\"", "\r\n", "\n"};
  std::string text;
  while (text.size() < size) text += words[rng() % 8], text += static_cast<char>('a' + rng() % 26);
  text.resize(size);
  return text;
}

std::string ReadAll(TByteSource& source, size_t read_size) {
  std::string out, buffer(read_size, '\0');
  while (size_t n = source.Read(buffer.data(), buffer.size())) out.append(buffer.data(), n);
  return out;
}

struct TFormat {
  const char* Name;
  TCompression Kind;
  std::string (*Compress)(const std::string&);
};

class DecompressingSource : public testing::TestWithParam<TFormat> {
 protected:
  std::unique_ptr<TByteSource> Open(std::string data, size_t chunk) {
    return Decompressing(std::make_unique<TMemorySource>(std::move(data), chunk), GetParam().Kind);
  }
  std::string Compress(const std::string& text) { return GetParam().Compress(text); }
};

TEST_P(DecompressingSource, GivesTheTextWhateverTheReadSizes) {
  const std::string text = Text(3 << 20, 7);
  const std::string packed = Compress(text);
  for (size_t chunk : {size_t{1} << 20, size_t{4093}, size_t{1}})
    for (size_t read_size : {size_t{1} << 20, size_t{65536}, size_t{7}}) {
      if (chunk == 1 && read_size == 7) continue;  // byte by byte is slow and adds nothing
      auto source = Open(packed, chunk);
      EXPECT_EQ(ReadAll(*source, read_size), text) << chunk << " " << read_size;
      EXPECT_EQ(source->BytesConsumed(), static_cast<int64_t>(packed.size()));
    }
}

TEST_P(DecompressingSource, JoinsMembersOrFramesInOrder) {
  const std::string a = Text(100000, 1), b = Text(5, 2), c = Text(300000, 3);
  auto source = Open(Compress(a) + Compress(b) + Compress(c), 65536);
  EXPECT_EQ(ReadAll(*source, 65536), a + b + c);
}

TEST_P(DecompressingSource, EmptyInputIsEmptyText) {
  auto source = Open("", 100);
  char byte;
  EXPECT_EQ(source->Read(&byte, 1), 0u);
}

TEST_P(DecompressingSource, RefusesDataCutShort) {
  const std::string packed = Compress(Text(200000, 4));
  for (size_t cut : {size_t{5}, packed.size() / 2, packed.size() - 1}) {
    auto source = Open(packed.substr(0, cut), 4096);
    try {
      ReadAll(*source, 4096);
      ADD_FAILURE() << "no error when cut at " << cut;
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find(GetParam().Name), std::string::npos) << e.what();
    }
  }
}

TEST_P(DecompressingSource, RefusesWhatFollowsTheLastMember) {
  auto source = Open(Compress(Text(1000, 5)) + "trailing text", 4096);
  EXPECT_THROW(ReadAll(*source, 4096), EReadError);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecompressingSource,
                         testing::Values(TFormat{"gzip", cmGzip, Gzip}, TFormat{"zstd", cmZstd, Zstd}),
                         [](const testing::TestParamInfo<TFormat>& param_info) { return param_info.param.Name; });

}  // namespace
