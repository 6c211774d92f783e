// Each storage of the block reader alone: its window slides over the file's
// bytes exactly, tells where the file ends, and a file that shrinks fails
// the read (but for a copy taken before).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "support/Compression.h"
#include "support/TestSupport.h"
#include "text/UMappedStorage.h"
#include "text/UMemoryStorage.h"
#include "text/UReadStorage.h"
#include "text/UStreamStorage.h"
#include "util/UErrors.h"

namespace {

using TMake = std::function<std::unique_ptr<TSourceStorage>(TFileStream, int64_t)>;

struct TKind {
  const char* Name;
  TMake Make;
  bool SeesShrinking;
};

const TKind kKinds[] = {
    {"memory", [](TFileStream f, int64_t s) { return std::make_unique<TMemoryStorage>(std::move(f), s); }, false},
    {"mapped", [](TFileStream f, int64_t s) { return std::make_unique<TMappedStorage>(std::move(f), s); }, true},
    {"read", [](TFileStream f, int64_t s) { return std::make_unique<TReadStorage>(std::move(f), s); }, true},
};

std::unique_ptr<TSourceStorage> Open(const TKind& kind, const std::string& path) {
  TFileStream file = TFileStream::OpenRead(path);
  const int64_t size = file.Size();
  return kind.Make(std::move(file), size);
}

}  // namespace

TEST(SourceStorage, WindowsSlideOverTheFilesBytes) {
  std::mt19937 rng(20261209);
  std::string content;
  // Past a span of the mapping, so that windows cross span ends.
  while (content.size() < (9u << 20)) content += static_cast<char>('a' + rng() % 26);
  TTempDir dir;
  WriteFile(dir / "f", content);
  for (const TKind& kind : kKinds) {
    std::unique_ptr<TSourceStorage> storage = Open(kind, dir / "f");
    std::string taken;
    while (!storage->AtEnd()) {
      // Steps of every size up to a few MiB; what stays in the window must
      // survive the next step.
      storage->Extend(rng() % 4 == 0 ? rng() % (3u << 20) : rng() % 5000);
      ASSERT_EQ(std::string(storage->Data(), storage->Size()), content.substr(taken.size(), storage->Size()))
          << kind.Name;
      EXPECT_TRUE(storage->Holds(storage->Size()));
      const size_t drop = storage->Size() == 0 ? 0 : rng() % (storage->Size() + 1);
      taken.append(storage->Data(), drop);
      storage->Advance(drop);
    }
    taken.append(storage->Data(), storage->Size());
    EXPECT_TRUE(taken == content) << kind.Name;
    EXPECT_FALSE(storage->Holds(storage->Size() + 1)) << kind.Name;
    EXPECT_EQ(storage->Guard() != nullptr, std::string(kind.Name) == "mapped") << kind.Name;
  }
}

TEST(SourceStorage, AFileThatShrinksFailsTheReadUnlessCopiedBefore) {
  TTempDir dir;
  for (const TKind& kind : kKinds) {
    WriteFile(dir / "f", std::string(100000, 'x'));
    std::unique_ptr<TSourceStorage> storage = Open(kind, dir / "f");
    storage->Extend(1000);
    ASSERT_EQ(truncate((dir / "f").c_str(), 5000), 0);
    if (kind.SeesShrinking) {
      EXPECT_THROW(storage->Extend(10000), EReadError) << kind.Name;
    } else {
      storage->Extend(200000);
      EXPECT_EQ(storage->Size(), 100000u) << kind.Name;
      EXPECT_TRUE(storage->AtEnd());
    }
  }
}

// A stream that hands out its bytes in reads of any size: the window slides
// over them exactly, and where the stream ends is known only once a read
// found it, yet Holds answers exactly for the bytes just past the window.
TEST(StreamStorage, WindowsSlideOverTheStreamsBytes) {
  std::mt19937 rng(20261210);
  std::string content;
  while (content.size() < (3u << 20)) content += static_cast<char>('a' + rng() % 26);
  for (size_t chunk : {size_t{1} << 20, size_t{4093}, size_t{7}}) {
    for (size_t length : {size_t{0}, size_t{5}, content.size()}) {
      SCOPED_TRACE("chunk " + std::to_string(chunk) + ", length " + std::to_string(length));
      const std::string text = content.substr(0, length);
      TStreamStorage storage(std::make_unique<TMemorySource>(text, chunk), -1);
      // Read ahead at once: the stream's first bytes.
      EXPECT_TRUE(storage.Ahead().starts_with(text.substr(0, TStreamStorage::kLookAhead)));
      EXPECT_GE(storage.Ahead().size(), std::min(text.size(), TStreamStorage::kLookAhead));
      EXPECT_EQ(storage.BytesInAll(), -1);
      std::string taken;
      while (!storage.AtEnd()) {
        storage.Extend(rng() % 4 == 0 ? rng() % (1u << 20) : rng() % 5000);
        ASSERT_EQ(std::string(storage.Data(), storage.Size()), text.substr(taken.size(), storage.Size()));
        const size_t left = text.size() - taken.size() - storage.Size();
        for (uint64_t past = 0; past <= 2; ++past)
          ASSERT_EQ(storage.Holds(storage.Size() + past), past <= left) << past;
        const size_t drop = storage.Size() == 0 ? 0 : rng() % (storage.Size() + 1);
        taken.append(storage.Data(), drop);
        storage.Advance(drop);
      }
      taken.append(storage.Data(), storage.Size());
      EXPECT_TRUE(taken == text);
      EXPECT_EQ(storage.BytesTaken(), static_cast<int64_t>(text.size()));
      EXPECT_EQ(storage.Guard(), nullptr);
    }
  }
}

TEST(StreamStorage, AFailingStreamFailsTheRead) {
  class TFailing final : public TByteSource {
   public:
    size_t Read(char* data, size_t size) override {
      if (Given_ >= 100) throw EReadError("The gzip data of the source is corrupt (invalid block type).");
      const size_t n = std::min<size_t>(size, 10);
      std::fill(data, data + n, 'x');
      Given_ += n;
      return n;
    }
    int64_t BytesConsumed() const override { return static_cast<int64_t>(Given_); }

   private:
    size_t Given_ = 0;
  };
  // What has come is handed out, a read at a time; the failure comes with
  // the read that meets it.
  TStreamStorage storage(std::make_unique<TFailing>(), -1);
  while (storage.Size() < 80) storage.Extend(1000);
  EXPECT_LE(storage.Size(), 92u);
  EXPECT_THROW(for (;;) storage.Extend(1000), EReadError);
}
