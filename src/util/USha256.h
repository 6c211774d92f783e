// SHA-256 of a stream of bytes, for the checksums of a split's manifest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class TSha256 {
 public:
  TSha256();
  // Adds Size bytes at Data to the message.
  void Update(const void* data, size_t size);
  // The digest of everything added, as 64 lower-case hexadecimal digits. The
  // object then starts a new message.
  std::string FinishHex();
  std::array<uint8_t, 32> Finish();

  // True where the processor computes the rounds itself (x86 SHA extensions);
  // the digest is the same either way.
  static bool HasHardwareRounds();
  // Hashes with the plain rounds even where the processor has its own: the
  // reference the fast path is tested against.
  void UsePlainRounds() { Hardware_ = false; }

 private:
  void Reset();
  void Compress(const uint8_t* blocks, size_t count);

  std::array<uint32_t, 8> State_;  // the hash of the whole blocks so far
  uint8_t Block_[64];              // the first BlockUsed_ bytes of a block not yet hashed
  size_t BlockUsed_ = 0;           // < 64
  uint64_t Length_ = 0;            // bytes added since the message began
  bool Hardware_;                  // Compress uses the processor's rounds
};
