// Each storage of the block reader alone: its window slides over the file's
// bytes exactly, tells where the file ends, and a file that shrinks fails
// the read (but for a copy taken before).
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <random>
#include <string>

#include "support/TestSupport.h"
#include "text/UMappedStorage.h"
#include "text/UMemoryStorage.h"
#include "text/UReadStorage.h"
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
