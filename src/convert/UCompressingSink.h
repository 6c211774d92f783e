// A piece compressed as it is written: what the piece writer hands it is
// compressed into the sink it wraps (the piece file), and the piece can
// still be cut back to where a write's whole records end.
//
// A compressed stream cannot be truncated, so every write that ends whole
// records syncs the stream there and writes the compressed bytes together
// with the few that would end the stream at that point: the room for them
// is then known to be there. The next write goes on over those bytes. A
// cut-back truncates the piece to the last sync of a write that succeeded
// and ends the stream there again; what is written after a cut-back (a
// failed write that did not end the split) goes into a new stream after it
// (a gzip member, a zstd frame), which decompressors read as a continuation
// of the one before.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "convert/UPieceWriter.h"
#include "util/UCompressor.h"
#include "util/USha256.h"

class TCompressingSink final : public TPieceWriter::TSink {
 public:
  // Compresses into Piece with Compressor, which must outlive it (pieces
  // use it in turn; each resets it when it begins its stream). With Checksums it works out the
  // SHA-256 of what Piece stores. Shown names the piece in messages.
  TCompressingSink(std::unique_ptr<TPieceWriter::TSink> piece, TCompressor& compressor, bool checksums,
                   std::string shown);

  void Write(std::string_view bytes, size_t whole) override;
  // Size must be where the whole records of a write that succeeded end (as
  // the piece writer cuts back); a piece cut anywhere else is refused when
  // it is closed, as is one whose stream could not be ended again.
  void CutBack(int64_t size) override;
  // Ends the stream (the bytes that end it are mostly there already) and
  // closes the piece; a piece that holds nothing gets an empty stream.
  void Close() override;
  std::optional<TStored> Stored() const override;

 private:
  // A point where the stream may end.
  struct TSyncPoint {
    int64_t Given = 0;      // bytes given to the sink before it
    int64_t Stored = 0;     // bytes the piece holds up to it
    size_t EndingSize = 0;  // of Ending; 0 when no stream is open there
    char Ending[TCompressor::kMaxEnding] = {};
  };

  // Compresses Bytes with Flush, writing the output whenever the buffer fills.
  void Feed(std::string_view bytes, TCompressor::TFlush flush);
  // Writes Bytes to the piece; their last Ending bytes end the stream and
  // are written over by whatever comes next.
  void Emit(std::string_view bytes, size_t ending);
  // Writes the compressor's output.
  void EmitOutput();

  std::unique_ptr<TPieceWriter::TSink> Piece_;
  TCompressor& Compressor_;
  std::string Shown_;
  TSyncPoint Sync_;          // the last one of a write that succeeded
  int64_t Given_ = 0;        // bytes given to the compressor
  int64_t Stored_ = 0;       // bytes of compressed data in the piece, an ending after them left out
  size_t EndingStored_ = 0;  // bytes of an ending after Stored_, to be written over
  bool Broken_ = false;      // the piece can no longer end whole
  bool StreamOpen_ = false;  // the compressor holds this piece's stream
  bool HashWhole_;           // Hash_ is of all the piece holds: checksums asked for, no cut-back yet
  TSha256 Hash_;             // of the piece's bytes up to Stored_
  std::string Sha256_;       // the digest, once closed
};
