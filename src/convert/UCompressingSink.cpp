#include "convert/UCompressingSink.h"

#include <utility>

#include "util/UErrors.h"

TCompressingSink::TCompressingSink(std::unique_ptr<TPieceWriter::TSink> piece, TCompressor& compressor, bool checksums,
                                   std::string shown)
    : Piece_(std::move(piece)), Compressor_(compressor), Shown_(std::move(shown)), HashWhole_(checksums) {}

void TCompressingSink::Write(std::string_view bytes, size_t whole) {
  // Taken as the cut-back point only once the whole write succeeded: a
  // failed write's records are not the piece's.
  TSyncPoint sync = Sync_;
  if (whole > 0) {
    Feed(bytes.substr(0, whole), TCompressor::cfSync);
    sync.Given = Given_;
    sync.EndingSize = Compressor_.AppendEnding(sync.Ending);
    Emit(Compressor_.Output(), sync.EndingSize);
    Compressor_.ClearOutput();
    sync.Stored = Stored_;
  }
  // The head of a record: compressed, and put out when the buffer fills.
  if (whole < bytes.size()) Feed(bytes.substr(whole), TCompressor::cfContinue);
  Sync_ = sync;
}

void TCompressingSink::Feed(std::string_view bytes, TCompressor::TFlush flush) {
  // Begun here, not when the sink is made: the piece before may still be
  // ending its own stream then.
  if (!StreamOpen_) Compressor_.Reset();
  StreamOpen_ = true;
  Given_ += static_cast<int64_t>(bytes.size());
  for (bool done = false;;) {
    bytes.remove_prefix(Compressor_.Compress(bytes, flush, done));
    if (done) return;
    EmitOutput();
  }
}

void TCompressingSink::EmitOutput() {
  Emit(Compressor_.Output(), 0);
  Compressor_.ClearOutput();
}

void TCompressingSink::Emit(std::string_view bytes, size_t ending) {
  if (bytes.empty()) return;
  if (EndingStored_ > 0) {
    // The stream goes on: over the bytes that would have ended it.
    Piece_->CutBack(Stored_);
    EndingStored_ = 0;
  }
  Piece_->Write(bytes, bytes.size());
  const size_t data = bytes.size() - ending;
  if (HashWhole_) Hash_.Update(bytes.data(), data);
  Stored_ += static_cast<int64_t>(data);
  EndingStored_ = ending;
}

void TCompressingSink::CutBack(int64_t size) {
  Compressor_.ClearOutput();
  HashWhole_ = false;
  if (size != Sync_.Given) {
    Broken_ = true;
    return;
  }
  // Back to the sync, and the stream ends there; the bytes that end it fit,
  // since the piece held them once before.
  Piece_->CutBack(Sync_.Stored);
  Stored_ = Sync_.Stored;
  EndingStored_ = 0;
  if (Sync_.EndingSize > 0) {
    try {
      Piece_->Write({Sync_.Ending, Sync_.EndingSize}, Sync_.EndingSize);
      Stored_ += static_cast<int64_t>(Sync_.EndingSize);
    } catch (const EQuillmereError&) {
      Broken_ = true;
    }
  }
  // Anything written from here on begins a stream of its own.
  StreamOpen_ = false;
  Given_ = Sync_.Given;
  Sync_ = {.Given = Given_, .Stored = Stored_};
}

void TCompressingSink::Close() {
  if (Broken_) {
    // Never named: the sink's temporary file goes with it.
    Piece_.reset();
    throw EInOutError("Cannot create file \"" + Shown_ + "\". It could not be cut back to its whole records.");
  }
  if (Given_ > Sync_.Given || (Stored_ == 0 && EndingStored_ == 0)) {
    // Bytes after the last sync end with the stream; a piece of nothing
    // holds an empty stream, which decompresses to nothing.
    Feed({}, TCompressor::cfFinish);
    EmitOutput();
  } else if (HashWhole_ && EndingStored_ > 0) {
    Hash_.Update(Sync_.Ending, EndingStored_);
  }
  if (HashWhole_) Sha256_ = Hash_.FinishHex();
  Piece_->Close();
}

std::optional<TPieceWriter::TSink::TStored> TCompressingSink::Stored() const {
  return TStored{.Bytes = Stored_ + static_cast<int64_t>(EndingStored_), .Sha256 = Sha256_};
}
