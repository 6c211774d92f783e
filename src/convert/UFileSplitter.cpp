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
#include "util/UFileStream.h"
#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

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

// The pieces' extension: the source name's, after the suffix of the
// compressed format it is read out of ("orders.csv.gz" gives ".csv").
std::string PieceExtension(const std::string& source, std::string_view decompresses) {
  constexpr struct { std::string_view Format, Suffix; } kSuffixes[] = {{"gzip", ".gz"}, {"zstd", ".zst"}};
  std::string_view name = source;
  for (const auto& [format, suffix] : kSuffixes)
    if (format == decompresses && name.size() > suffix.size() &&
        SameTextAscii(name.substr(name.size() - suffix.size()), suffix))
      name.remove_suffix(suffix.size());
  return FileExtension(name);
}

}  // namespace

TFileSplitter::TFileSplitter(const TSplitterSizes& sizes) : Sizes_(sizes), Writer_(sizes.FlushThreshold) {}

TFileSplitter::~TFileSplitter() = default;

void TFileSplitter::Prepare() {
  DestinationTouched_ = false;
  // A run that fails before its records counts none (a batch reuses the status).
  PiecesCreated_ = 0;
  Status().Converted = 0;
  Status().ErrorCount = 0;
  Reader_ = Sizes_.ReaderBlockSize > 0
                ? std::make_unique<TBlockTextReader>(Sizes_.ReaderBlockSize, Sizes_.ReaderMemoryLimit)
                : std::make_unique<TBlockTextReader>();
  Status().FromDesc = Session->SourceDescription();
  Status().ToDesc = Session->DestDescription();
  Status().Measure = [this] {
    if (!Reader_) return TConvertStatus::TMeasure{.Pieces = PiecesCreated_};
    return TConvertStatus::TMeasure{Reader_->BytesTaken(), Reader_->BytesInAll(), PiecesCreated_};
  };
  InitSplit();
}

void TFileSplitter::InitSplit() {
  LineIndex_ = -1;
  PieceCount_ = 0;
  OutOfRoom_ = false;
  Quoted_ = Session->Settings.QuotedFields;
  // The source is opened before the destination is touched, so a source that
  // cannot be opened leaves the destination as it was.
  Extension_.clear();
  Reader_->Open(Session->SourceFile);
  Extension_ = PieceExtension(Session->SourceFile, Reader_->Decompresses());
  const std::string head(Reader_->Head());
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
  Writer_.Start(Reader_->CrLf(), Quoted_,
                {.CheckSource = [this] { Reader_->CheckIntact(); }, .Lost = [this](int64_t n) { CountFailed(n); }});
  ReportUnconvertedEncoding();
  PrepareDestination();
}

void TFileSplitter::ChooseEncoding(std::string_view head) {
  // A task that names no encoding has it named when it is loaded, from the
  // source's first bytes; a stream could not be looked at then.
  const std::string& named = Session->Settings.SourceEncoding.empty() && Reader_->ReadsStream()
                                 ? DetectEncodingOf(head)
                                 : Session->Settings.SourceEncoding;
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
  if (!IsKnownEncodingName(name))
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
  if (Session->SourceFile == kStandardInputName || !GetFileIdentity(Session->SourceFile, source)) return;
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
    Writer_.Close();
  } catch (const EQuillmereError&) {
    // Clean-up runs after a failure too; the first failure is what counts.
  }
  Reader_.reset();
}

void TFileSplitter::LineFailed(const EQuillmereError& error) {
  CountFailed(1);
  RecordError("Serial: " + std::to_string(LineIndex_ + 1), error);
  // The record's other lines fail with it; the next record begins after them.
  while (RecordContinues()) NextRecordLine();
}

void TFileSplitter::RoomRanOut(const EOutOfRoom& error) {
  LineFailed(error);
  OutOfRoom_ = true;
  try {
    Writer_.Close();
  } catch (const EQuillmereError&) {
    // The failure that ends the split is the one reported.
  }
  EndLoop();
}

void TFileSplitter::DoAfterConvertAll() {
  if (Stopped()) {
    KeepRecordsBeforeStop();
    return;
  }
  if (!OutOfRoom_) return;
  // No piece takes them now; counted, so that the summary still accounts
  // for every record of the source.
  int64_t rest = 0;
  for (; HasNext(); ++rest) {
    Next();
    while (RecordContinues()) NextRecordLine();
  }
  CountFailed(rest);
}

void TFileSplitter::KeepRecordsBeforeStop() {
  // Every record placed so far counts as converted, so each reaches its
  // piece; closing the piece then cuts nothing.
  Writer_.StartRecord();  // none is under way: a failed write loses all
  try {
    Writer_.Flush();
  } catch (const EQuillmereError& e) {
    RecordError("Serial: " + std::to_string(LineIndex_ + 1), e);
  }
  // The records the failed write lost are counted as failed now.
  const int64_t converted = RecordIndex() - Status().ErrorCount;
  Status().Converted = converted < 0 ? 0 : converted;
}

void TFileSplitter::NextRecordLine() {
  Reader_->Next();
  bool goes_on = Writer_.RecordGoesOn() != Reader_->CurrentLineQuotesOdd();
  if (!Reader_->HasNext()) goes_on = false;  // a record still open ends with the source
  Writer_.SetRecordGoesOn(goes_on);
}

void TFileSplitter::AppendRecordRest() {
  while (RecordContinues()) {
    AppendNextRecordLine();
    if (Writer_.OverThreshold()) Writer_.FlushHead();
  }
}

bool TFileSplitter::ReadUncountedRecord(std::string& text) {
  text.clear();
  if (!Reader_->HasNext()) return false;
  Reader_->Next();
  StartRecordAtCurrentLine();
  for (;;) {
    text += Reader_->CurrentLine();
    text += Writer_.CrLf();
    if (!RecordContinues()) return true;
    NextRecordLine();
  }
}

void TFileSplitter::MoveRecordToNextPiece(size_t offset) {
  // The size rule places records in a piece it has opened.
  Writer_.WriteRecordsBefore(offset);
  Writer_.Close();
  OpenNextPiece();
}

void TFileSplitter::CalculateTotal() {
  // A stream cannot be read twice; a compressed file's bytes are no lines.
  if (Reader_->ReadsStream()) {
    TotalLines_ = -1;
    Status().Total = -1;
    Status().Estimated = false;
    return;
  }
  // The total serves progress only (a split reads to the end): the count of
  // a source's first few MiB is estimate enough, where counting 256 MiB
  // cost a fifth of a split of that size.
  const TCountLineResult& count = TFileLineCountCache::GetLineCount(Session->SourceFile, kProgressCountLimit);
  TotalLines_ = count.LineCount;
  Status().Total = count.LineCount;
  Status().Estimated = count.IsEstimated;
}

void TFileSplitter::OpenNextPiece() {
  ++PieceCount_;
  const std::string& dest = Session->DestFolder;
  std::string name = dest;
  if (!dest.empty() && dest.back() != '/') name += '/';
  name += std::to_string(PieceCount_) + Extension_;
  Writer_.Open(name, ByteOrderMarkOf(OutputEncoding_));
  ++PiecesCreated_;
}
