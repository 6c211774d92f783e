#include <gtest/gtest.h>

#include <random>
#include <string>

#include "util/USha256.h"

namespace {

std::string Hash(const std::string& text, bool plain) {
  TSha256 sha;
  if (plain) sha.UsePlainRounds();
  sha.Update(text.data(), text.size());
  return sha.FinishHex();
}

TEST(Sha256, KnownDigestsOnEitherPath) {
  const std::string million_a(1000000, 'a');
  const struct {
    std::string Text;
    const char* Digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {million_a, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Hash(c.Text, true), c.Digest);
    EXPECT_EQ(Hash(c.Text, false), c.Digest);
  }
}

TEST(Sha256, PiecewiseUpdatesAndBothPathsAgree) {
  // Every length around the padding's block boundaries, fed in uneven parts.
  std::mt19937 rng(11);
  std::string text(300, '\0');
  for (char& c : text) c = static_cast<char>(rng());
  for (size_t length = 0; length <= text.size(); ++length) {
    const std::string message = text.substr(0, length);
    TSha256 sha;
    for (size_t at = 0; at < length;) {
      const size_t part = std::min<size_t>(length - at, rng() % 70);
      sha.Update(message.data() + at, part);
      at += part;
    }
    const std::string piecewise = sha.FinishHex();
    EXPECT_EQ(piecewise, Hash(message, true)) << length;
    EXPECT_EQ(piecewise, Hash(message, false)) << length;
  }
}

TEST(Sha256, StartsANewMessageAfterFinishing) {
  TSha256 sha;
  sha.Update("x", 1);
  sha.FinishHex();
  sha.Update("abc", 3);
  EXPECT_EQ(sha.FinishHex(), Hash("abc", true));
}

}  // namespace
