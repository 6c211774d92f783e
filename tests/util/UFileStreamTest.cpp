#include <gtest/gtest.h>

#include <string>

#include "support/TestSupport.h"
#include "util/UFileStream.h"

namespace {

// Writes larger than one write call takes go out in parts: every byte lands
// once, in order, whatever the size's remainder.
TEST(FileStream, WritesMoreThanOneCallTakesWhole) {
  TTempDir dir;
  for (size_t size : {TFileStream::kLargestWrite - 1, TFileStream::kLargestWrite, 2 * TFileStream::kLargestWrite + 7}) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 131 + i / 4099);
    const std::string path = dir / "out";
    {
      TFileStream file = TFileStream::Create(path);
      file.WriteAll(bytes.data(), bytes.size());
      file.WriteAll("end", 3);
      file.Close();
    }
    EXPECT_EQ(ReadFile(path), bytes + "end") << size;
  }
}

}  // namespace
