#include "convert/UFileSplitter.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "log/ULog.h"
#include "log/ULogger.h"
#include "tasks/UFileSplitSession.h"
#include "text/UBlockTextReader.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UFileLineCountCache.h"
#include "util/UErrors.h"
#include "util/UPathUtils.h"

namespace {

// True when Name is a piece name: a number without leading zeros, then Extension.
bool IsPieceName(const std::string& name, const std::string& extension) {
  if (name.size() <= extension.size() || name.compare(name.size() - extension.size(), extension.size(), extension) != 0)
    return false;
  std::string_view number(name.data(), name.size() - extension.size());
  if (number.empty() || number[0] == '0') return false;
  for (char c : number)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// True when the name, normalised, is an encoding the program knows: one of
// the table's keys, or one the conversion knows besides them.
bool IsKnownEncoding(const std::string& key) {
  for (const TEncodingName& name : EncodingNames())
    if (name.Key == key) return true;
  return !IconvCharsetOf(key).empty();
}

}  // namespace

TFileSplitter::TFileSplitter(const TSplitterSizes& sizes)
    : Sizes_(sizes), FlushThreshold_(sizes.FlushThreshold > 0 ? sizes.FlushThreshold : kFlushThreshold) {}

TFileSplitter::~TFileSplitter() = default;

void TFileSplitter::Prepare() {
  DestinationTouched_ = false;
  // A run that fails before its records counts none (a batch reuses the status).
  PiecesCreated_ = 0;
  Status().Converted = 0;
  Status().ErrorCount = 0;
  Extension_ = FileExtension(Session->SourceFile);
  Reader_ = Sizes_.ReaderBlockSize > 0
                ? std::make_unique<TBlockTextReader>(Sizes_.ReaderBlockSize, Sizes_.ReaderMemoryLimit)
                : std::make_unique<TBlockTextReader>();
  Status().FromDesc = Session->SourceDescription();
  Status().ToDesc = Session->DestDescription();
  InitSplit();
}

void TFileSplitter::InitSplit() {
  LineIndex_ = -1;
  PieceCount_ = 0;
  PendingBytes_ = 0;
  PendingLines_ = 0;
  CurrentLinePending_ = false;
  Quoted_ = Session->Settings.QuotedFields;
  RecordOpen_ = false;
  PendingRecordsEnd_ = 0;
  PendingHasMultiLine_ = false;
  // The source is opened before the destination is touched, so a source that
  // cannot be opened leaves the destination as it was.
  Reader_->Open(Session->SourceFile);
  const std::string head = ReadFileHead(Session->SourceFile, 8);
  RefuseCompressedSource(head);
  ChooseEncoding(head);
  Reader_->SetEncodingName(SourceEncoding_);
  // The pieces are written in the encoding the source is read in, so each
  // line is written as its own bytes: nothing a round trip through UTF-8
  // would change (undefined bytes, lone surrogates, characters with two
  // codes) is lost. Only detection may read UTF-16 and write UTF-8 (the
  // task then names no encoding to write); those lines are decoded.
  const std::string& name = SourceEncoding_;
  const bool detected = name.empty() || IsAutoDetect(name);
  const bool detected_utf16 = detected && DecoderFor(Reader_->EncodingName()) != TDecoderKind::Utf8;
  if (!detected_utf16) Reader_->KeepSourceBytes();
  if (Quoted_) Reader_->TrackQuotes();
  const std::string_view crlf = Reader_->CrLf();
  std::memcpy(CrLf_, crlf.data(), crlf.size());
  CrLfSize_ = static_cast<int64_t>(crlf.size());
  ReportUnconvertedEncoding();
  PrepareDestination();
}

void TFileSplitter::RefuseCompressedSource(std::string_view head) const {
  const std::string_view format = CompressionFormatOf(head);
  if (!format.empty())
    throw EQuillmereError("The source \"" + Session->SourceFile + "\" is compressed (" + std::string(format) +
                          "): it cannot be split as text.");
}

void TFileSplitter::ChooseEncoding(std::string_view head) {
  const std::string& named = Session->Settings.SourceEncoding;
  TSourceEncoding chosen = ChooseSourceEncoding(named, head);
  SourceEncoding_ = std::move(chosen.Name);
  OutputEncoding_ = NormalizeEncodingName(SourceEncoding_);
  if (!chosen.MarkWins) return;
  Status().Message = "The source begins with a byte-order mark of " + DisplayNameOf(SourceEncoding_) +
                     ": it is read and written as such, not as " + named + ".";
  Status().Raise(Status().OnMessage);
}

void TFileSplitter::ReportUnconvertedEncoding() {
  const std::string& name = SourceEncoding_;
  if (name.empty() || IsAutoDetect(name)) return;
  std::string why;
  if (!IsKnownEncoding(NormalizeEncodingName(name)))
    why = "is unknown";
  else if (Reader_->ConverterMissing())
    why = "has no converter on this machine";
  else
    return;
  Status().Message = "The encoding \"" + name + "\" " + why + ": the source is split as bytes, without conversion.";
  Status().Raise(Status().OnMessage);
}

void TFileSplitter::PrepareDestination() {
  const std::string& dest = Session->DestFolder;
  CheckSourceIsSafe(dest);
  DestinationTouched_ = true;
  if (dest.empty()) return;  // the working directory: neither cleared nor created
  if (DirectoryExists(dest))
    ReportCleared(ClearEarlierPieces(dest, Extension_));
  else
    ForceFolder(dest);
  if (!DirectoryExists(dest)) throw EInOutError("Cannot create destination folder \"" + dest + "\"");
}

void TFileSplitter::CheckSourceIsSafe(const std::string& dest_folder) const {
  TFileIdentity source;
  if (!GetFileIdentity(Session->SourceFile, source)) return;
  const std::string folder = dest_folder.empty() ? "." : dest_folder;
  if (!DirectoryExists(folder)) return;
  // Clearing and the pieces remove or replace only entries named like a
  // piece, never what a link there points to: the source is in danger when
  // such an entry is the source file itself, under any name, or a link that
  // the source's path goes through.
  std::vector<TFileIdentity> reached = LinkChainIdentities(Session->SourceFile);
  reached.push_back(source);
  const std::vector<std::string> cleared =
      dest_folder.empty() ? std::vector<std::string>() : EarlierPieces(folder, Extension_);
  for (const std::string& name : ListFolder(folder)) {
    if (!IsPieceName(name, Extension_)) continue;
    const std::string path = folder + "/" + name;
    TFileIdentity entry;
    if (!GetEntryIdentity(path, entry) || std::find(reached.begin(), reached.end(), entry) == reached.end()) continue;
    const std::string why = std::find(cleared.begin(), cleared.end(), path) != cleared.end()
                                ? "would be deleted when the destination folder \"" + dest_folder + "\" is cleared"
                                : "would be overwritten by the piece \"" + name + "\"";
    throw EQuillmereError("The source file \"" + Session->SourceFile + "\" " + why +
                          "; choose a destination folder that does not hold it.");
  }
}

void TFileSplitter::ReportCleared(int64_t count) const {
  if (count > 0)
    TLog::CommandLine().Info("Cleared " + std::to_string(count) + " earlier pieces from \"" + Session->DestFolder +
                             "\".");
}

void TFileSplitter::CleanUp() {
  if (Reader_) Reader_->Close();
  try {
    ClosePiece();
  } catch (const EQuillmereError&) {
    // Clean-up runs after a failure too; the first failure is what counts.
  }
  Reader_.reset();
}

void TFileSplitter::LineFailed(const EQuillmereError& error) {
  ++Status().ErrorCount;
  RecordError("Serial: " + std::to_string(LineIndex_ + 1), error);
  // The record's other lines fail with it; the next record begins after them.
  while (RecordContinues()) NextRecordLine();
}

void TFileSplitter::NextRecordLine() {
  Reader_->Next();
  if (Reader_->CurrentLineQuotesOdd()) RecordOpen_ = !RecordOpen_;
  if (!Reader_->HasNext()) RecordOpen_ = false;  // a record still open ends with the source
}

void TFileSplitter::AppendRecordRest() {
  while (RecordContinues()) {
    NextRecordLine();
    AppendContinuation(Reader_->CurrentLine());
    if (PendingOverThreshold()) FlushPendingHead();
  }
}

void TFileSplitter::MoveRecordToNextPiece(size_t offset) {
  // The size rule places records in a piece it has opened.
  WritePendingHead(offset, offset);
  PendingRecordsEnd_ = RecordOpen_ ? 0 : PendingBytes_;
  PendingHasMultiLine_ = true;
  PendingLines_ = 1;
  ClosePiece();
  try {
    OpenNextPiece();
  } catch (const EQuillmereError&) {
    EmptyPending();  // the record fails as a whole, counted by the caller
    throw;
  }
}

void TFileSplitter::CalculateTotal() {
  const TCountLineResult& count = TFileLineCountCache::GetLineCount(Session->SourceFile);
  TotalLines_ = count.LineCount;
  Status().Total = count.LineCount;
  Status().Estimated = count.IsEstimated;
}

void TFileSplitter::OpenNextPiece() {
  ++PieceCount_;
  const std::string& dest = Session->DestFolder;
  OutputFileName_ = dest;
  if (!dest.empty() && dest.back() != '/') OutputFileName_ += '/';
  OutputFileName_ += std::to_string(PieceCount_) + Extension_;
  ClosePiece();
  // A link named like the piece is replaced, not written through: a piece
  // never lands outside its destination folder.
  Output_ = TFileStream::Replace(OutputFileName_);
  ++PiecesCreated_;
  PieceBytesWritten_ = 0;
  PieceWholeBytes_ = 0;
  WriteBom();
}

void TFileSplitter::ClosePiece() {
  // A run that ends early may leave the head of a pending line written.
  const bool cut = Output_.IsOpen() && PieceWholeBytes_ < PieceBytesWritten_;
  const int64_t whole = PieceWholeBytes_;
  PieceBytesWritten_ = 0;
  PieceWholeBytes_ = 0;
  if (cut) Output_.Truncate(whole);
  if (Output_.IsOpen()) Output_.Close();
}

void TFileSplitter::WriteBom() {
  std::string_view bom = ByteOrderMarkOf(OutputEncoding_);
  if (!bom.empty() && Output_.IsOpen()) WriteToPiece(bom);
}

void TFileSplitter::WriteToPiece(std::string_view bytes, size_t whole) {
  try {
    Output_.WriteAll(bytes.data(), bytes.size());
  } catch (const EQuillmereError&) {
    // A write that fails part way (a full disk) would leave a piece ending
    // inside a line that is counted as failed; the piece is cut back to the
    // whole lines it held, and the next write goes on from there.
    Output_.Truncate(PieceWholeBytes_);
    PieceBytesWritten_ = PieceWholeBytes_;
    throw;
  }
  if (whole > 0) PieceWholeBytes_ = PieceBytesWritten_ + static_cast<int64_t>(whole);
  PieceBytesWritten_ += static_cast<int64_t>(bytes.size());
}

void TFileSplitter::WriteText(std::string_view text) {
  if (!Output_.IsOpen() || text.empty()) return;
  WriteToPiece(text);
}

void TFileSplitter::FlushPending() {
  if (!Output_.IsOpen()) {
    // Dropped without an error of their own: every one of them failed.
    Status().ErrorCount += PendingLines_;
    EmptyPending();
    return;
  }
  // Rules flush between records; a CSV record still open at that moment
  // has no line pending yet.
  const size_t size = static_cast<size_t>(PendingBytes_);
  WritePendingHead(size, Quoted_ ? static_cast<size_t>(PendingRecordsEnd_) : size);
  EmptyPending();
}

void TFileSplitter::WritePendingHead(size_t size, size_t whole) {
  if (size > 0) {
    try {
      // Text taken from a source that shrank meanwhile is never written.
      Reader_->CheckIntact();
      WriteToPiece(std::string_view(Pending_.get(), size), whole);
    } catch (const EQuillmereError&) {
      FailPending();
      throw;
    }
  }
  const size_t rest = static_cast<size_t>(PendingBytes_) - size;
  if (rest > 0) std::memmove(Pending_.get(), Pending_.get() + size, rest);  // the buffer may not exist yet
  PendingBytes_ = static_cast<int64_t>(rest);
}

void TFileSplitter::FailPending() {
  // The current line is counted by the record failure the caller raises.
  Status().ErrorCount += PendingLines_ - (CurrentLinePending_ ? 1 : 0);
  // Emptied so that no line is written twice by a later flush.
  EmptyPending();
}

void TFileSplitter::EmptyPending() {
  PendingBytes_ = 0;
  PendingRecordsEnd_ = 0;
  PendingHasMultiLine_ = false;
  PendingLines_ = 0;
  CurrentLinePending_ = false;
}

size_t TFileSplitter::PendingLinesEnd(size_t size) const {
  const char* pending = Pending_.get();
  if (CrLfSize_ == 2) {
    const void* end = memrchr(pending, '\n', size);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - pending) + 1 : 0;
  }
  // UTF-16: the LF unit, which the CR LF ends with, on a unit boundary.
  for (size_t end = size / 2 * 2; end >= 2; end -= 2)
    if (std::memcmp(pending + end - 2, CrLf_ + 2, 2) == 0) return end;
  return 0;
}

int64_t TFileSplitter::PendingLineEnds(size_t from, size_t size) const {
  const char* pending = Pending_.get();
  if (CrLfSize_ == 2) return std::count(pending + from, pending + from + size, '\n');
  int64_t count = 0;
  for (size_t at = from; at + 2 <= from + size; at += 2) count += std::memcmp(pending + at, CrLf_ + 2, 2) == 0;
  return count;
}

void TFileSplitter::FlushPendingRecords() {
  if (!Output_.IsOpen()) {
    FlushPending();
    return;
  }
  // Whole records, or the open record's lines when it is all there is.
  const size_t whole = static_cast<size_t>(PendingRecordsEnd_);
  WritePendingHead(whole > 0 ? whole : static_cast<size_t>(PendingBytes_), whole);
  PendingRecordsEnd_ = 0;
  PendingHasMultiLine_ = PendingBytes_ > 0;
  // Still pending: the open record, whether its lines were written or not.
  PendingLines_ = RecordOpen_ && CurrentLinePending_ ? 1 : 0;
  CurrentLinePending_ = PendingLines_ > 0;
}

void TFileSplitter::FlushPendingHead() {
  // Records of one line each: their line ends are record ends, and the
  // aligned head below serves them as it serves lines.
  if (PendingHasMultiLine_) {
    FlushPendingRecords();
    return;
  }
  const int64_t end = PieceBytesWritten_ + PendingBytes_;
  int64_t head = end / FlushThreshold_ * FlushThreshold_ - PieceBytesWritten_;
  // Whole code units only, so that what stays pending starts on one.
  head -= head % (CrLfSize_ / 2);
  if (!Output_.IsOpen() || head <= 0 || head >= PendingBytes_) {
    FlushPending();
    return;
  }
  const size_t rest = static_cast<size_t>(PendingBytes_ - head);
  // Still pending: the lines that end in the rest; the current line, which
  // ends the text, is one of them.
  const int64_t rest_lines = PendingLineEnds(static_cast<size_t>(head), rest);
  WritePendingHead(static_cast<size_t>(head), PendingLinesEnd(static_cast<size_t>(head)));
  PendingLines_ = rest_lines;
  PendingRecordsEnd_ = PendingBytes_;  // records of one line: the rest ends with one
}

void TFileSplitter::WriteLongLine(std::string_view line) {
  // The lines before it go first; if they fail, so does this one.
  FlushPending();
  if (!Output_.IsOpen()) {
    ++Status().ErrorCount;  // reaches no piece, as a pending line would not
    return;
  }
  Reader_->CheckIntact();
  WriteToPiece(line, 0);
  WriteToPiece(CrLf(), CrLf().size());
}

void TFileSplitter::GrowPending(size_t needed) {
  size_t capacity = std::max(needed, 2 * PendingCapacity_);
  auto buffer = std::make_unique_for_overwrite<char[]>(capacity);
  if (PendingBytes_ > 0) std::memcpy(buffer.get(), Pending_.get(), static_cast<size_t>(PendingBytes_));
  Pending_ = std::move(buffer);
  PendingCapacity_ = capacity;
}
