#include "convert/UFileSplitter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <set>

#include "log/ULog.h"
#include "log/ULogger.h"
#include "tasks/UFileSplitSession.h"
#include "text/UBlockTextReader.h"
#include "text/UEncodingDetect.h"
#include "text/UEncodings.h"
#include "text/UFileLineCountCache.h"
#include "text/UTranscoder.h"
#include "util/UErrors.h"
#include "util/UFileStream.h"
#include "util/UPathUtils.h"
#include "util/UTextUtils.h"

namespace {

// The pieces a manifest lists: the names of its lines after the header
// that name an entry directly in the folder. Nothing when its header is not
// a manifest's.
std::vector<std::string> ManifestPieces(const std::string& text) {
  std::vector<std::string> names;
  if (!text.starts_with(TFileSplitter::kManifestHeader)) return names;
  size_t at = std::strlen(TFileSplitter::kManifestHeader);
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string name = text.substr(at, std::min(text.find('\t', at), end) - at);
    if (!name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
        name != TFileSplitter::kManifestName)
      names.push_back(name);
    at = end + 1;
  }
  return names;
}

// True when Path names a regular file or a symbolic link (not followed).
bool IsFileEntry(const std::string& path) {
  struct stat st;
  return IsSystemPath(path) && lstat(path.c_str(), &st) == 0 && (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode));
}

// True when Path names a folder itself (not through a link).
bool IsFolderEntry(const std::string& path) {
  struct stat st;
  return IsSystemPath(path) && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The source's name as its pieces see it: without the suffix of the
// compressed format it is read out of ("orders.csv.gz" gives "orders.csv").
std::string_view PieceSourceName(const std::string& source, std::string_view decompresses) {
  constexpr struct { std::string_view Format, Suffix; } kSuffixes[] = {{"gzip", ".gz"}, {"zstd", ".zst"}};
  std::string_view name = source;
  for (const auto& [format, suffix] : kSuffixes)
    if (format == decompresses && name.size() > suffix.size() &&
        SameTextAscii(name.substr(name.size() - suffix.size()), suffix))
      name.remove_suffix(suffix.size());
  return name;
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
  Status().FinishNote.clear();
  Transcoder_.reset();
  Converts_ = false;
  Closed_.clear();
  // Before anything else: from here on, no manifest claims a split completed.
  RemoveEarlierManifest();
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
  const std::string_view named = PieceSourceName(Session->SourceFile, Reader_->Decompresses());
  Extension_ = FileExtension(named);
  Names_ = TPieceName(Session->Settings.PieceName, named, CompressedSuffix(Session->Settings.Compress.Value()));
  const std::string head(Reader_->Head());
  ChooseEncoding(head);
  Reader_->SetEncodingName(SourceEncoding_);
  // The pieces are written in the encoding the source is read in, so each
  // line is written as its own bytes: nothing a round trip through UTF-8
  // would change (undefined bytes, lone surrogates, characters with two
  // codes) is lost. Only detection may read UTF-16 and write UTF-8 (the
  // task then names no encoding to write); those lines are decoded.
  // A task that names an output encoding has its lines converted, from the
  // source's bytes straight into the pending text.
  const std::string& name = SourceEncoding_;
  const bool detected = name.empty() || IsAutoDetect(name);
  const bool detected_utf16 = detected && DecoderFor(Reader_->EncodingName()) != TDecoderKind::Utf8;
  const bool named_output = !Session->Settings.OutputEncoding.empty();
  Converts_ = named_output && ChooseOutputEncoding();
  if (!detected_utf16 || named_output) Reader_->KeepSourceBytes();
  if (Quoted_) Reader_->TrackQuotes();
  const bool manifest = Session->Settings.Manifest;
  KeepEnds_ = Session->Settings.LineEnd == leKeep;
  LineForm_ = static_cast<uint8_t>((Converts_ ? kConvertedLines : kPlainLines) + (KeepEnds_ ? 1 : 0));
  Writer_.Start({.CrLf = Converts_ ? CrLfOf(OutputEncoding_) : Reader_->CrLf(),
                 .Lf = Session->Settings.LineEnd == leLf,
                 .KeepEnds = KeepEnds_,
                 .RecordsSpanLines = Quoted_,
                 .Checksums = manifest,
                 .Compress = Session->Settings.Compress.Value(),
                 .CompressLevel = Session->Settings.CompressionLevel(),
                 .Converter = Transcoder_.get()},
                {.CheckSource = [this] { Reader_->CheckIntact(); },
                 .Lost = [this](int64_t n) { CountFailed(n); },
                 .Closed = manifest ? [this](const TPieceWriter::TClosedPiece& piece) { Closed_.push_back(piece); }
                                    : std::function<void(const TPieceWriter::TClosedPiece&)>()});
  LineRuns_ = !Sizes_.NoLineRuns && LineForm_ == kPlainLines && !Quoted_;
  ConvertedRuns_ = !Sizes_.NoLineRuns && LineForm_ == kConvertedLines && !Quoted_ && Transcoder_->ConvertsLineRuns();
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

bool TFileSplitter::ChooseOutputEncoding() {
  const std::string& named = Session->Settings.OutputEncoding;
  const std::string output = EncodingKeyOf(named);
  // The reader's name: the task's, the mark's, or what detection found.
  const std::string source = EncodingKeyOf(Reader_->EncodingName());
  if (output.empty()) return false;  // refused with the task's other invalid values
  OutputEncoding_ = output;
  if (output == source) return false;  // nothing to convert: the pieces are the source's bytes
  // Pieces in another encoding than the one asked for would pass for a
  // conversion that never happened: the split fails before anything is
  // touched.
  if (source.empty() || Reader_->ConverterMissing())
    throw EQuillmereError("The output encoding \"" + named + "\" cannot be written: the source is split as bytes.");
  Transcoder_ = std::make_unique<TTranscoder>(Reader_->EncodingName(), output);
  if (Transcoder_->CanEncode()) return true;
  Transcoder_.reset();
  const std::string why =
      IconvCharsetOf(output).empty() ? "names no character set" : "has no converter on this machine";
  throw EQuillmereError("The output encoding \"" + named + "\" " + why + ": the pieces cannot be written in it.");
}

int64_t TFileSplitter::ConvertedLineBytes() {
  const std::string_view line = KeepEnds_ ? Reader_->CurrentLineWithEnd() : CurrentLine();
  const size_t end = KeepEnds_ ? 0 : Writer_.LineEnd().size();
  return static_cast<int64_t>(Transcoder_->ConvertedSize(line) + end);
}

TLineRun TFileSplitter::CopyMarkedRun(TUnitForm form, std::string_view text, char* out, size_t room, int64_t most_lines,
                                      const TRunMarker& marker) const {
  const std::string_view end = Writer_.LineEnd();
  return WithUnitForm(
      form, [&]<TUnitForm F>() { return CopyLineRun<TKernels, F, true>(text, out, room, most_lines, end, marker); });
}

TLineRun TFileSplitter::FindRunLines(TUnitForm form, std::string_view text, int64_t most_lines) const {
#ifdef __SSE2__
  if (ZmmRuns_) return TAvx512Kernels::FindLineRun(form, text, most_lines);
#endif
  return WithUnitForm(form, [&]<TUnitForm F>() {
    return CopyLineRun<TKernels, F, false, false>(text, nullptr, kLineRunAnyRoom, most_lines, kLineRunNoEnd);
  });
}

std::string_view TFileSplitter::ConvertRunLines(std::string_view lines, size_t& replaced) {
  // CopyLineRun leaves the lines that end in its text's last 192 bytes.
  constexpr size_t kTail = 256;
  const size_t size = Transcoder_->ConvertRun(lines, RunOutput_, replaced);
  std::memset(RunOutput_.Reserve(RunOutput_.Data() + size, kTail), 'x', kTail);
  return {RunOutput_.Data(), size + kTail};
}

TUnitForm TFileSplitter::RunOutputForm() const { return Transcoder_->RunForm(); }

void TFileSplitter::CountRunReplaced(size_t replaced) { Transcoder_->CountReplaced(replaced); }

int64_t TFileSplitter::CharactersReplaced() const { return Transcoder_ ? Transcoder_->Replaced() : 0; }

void TFileSplitter::EndConvert() {
  if (const int64_t replaced = CharactersReplaced(); replaced > 0) {
    std::string name = DisplayNameOf(OutputEncoding_);
    if (name == OutputEncoding_ && !IconvCharsetOf(name).empty()) name = IconvCharsetOf(name);  // "KOI8-R"
    Status().FinishNote =
        std::to_string(replaced) + " characters could not be written in " + name + " and were replaced.";
  }
  TIterativeConverter::EndConvert();
}

void TFileSplitter::PrepareDestination() {
  const std::string& dest = Session->DestFolder;
  // The working directory is neither cleared nor created.
  const std::string folder = dest.empty() ? "." : dest;
  const std::vector<std::string> entries = ListFolder(folder);
  const std::vector<std::string> cleared = dest.empty() ? std::vector<std::string>() : PiecesToClear(dest);
  CheckSourceIsSafe(dest, entries, cleared);
  DestinationTouched_ = true;
  if (!dest.empty()) {
    if (DirectoryExists(dest))
      ReportCleared(DeleteEntries(cleared));
    else
      ForceFolder(dest);
    if (!DirectoryExists(dest)) throw EInOutError("Cannot create destination folder \"" + dest + "\"");
  }
  // A folder of a piece's name survives clearing; a piece meant for it fails
  // when it is opened, as it always has, rather than once it is written.
  std::set<std::string> taken;
  for (const std::string& name : entries) {
    if (!Names_.IsPieceName(name)) continue;
    const std::string path = JoinPath(folder, name);
    if (!std::binary_search(cleared.begin(), cleared.end(), path) && IsFolderEntry(path)) taken.insert(PiecePath(name));
  }
  Writer_.SetTakenPaths(std::move(taken));
}

std::vector<std::string> TFileSplitter::PiecesToClear(const std::string& folder) const {
  std::vector<std::string> paths;
  for (const std::string& name : Listed_)
    if (IsFileEntry(JoinPath(folder, name))) paths.push_back(JoinPath(folder, name));
  // The pieces of these names compressed or not: a split that changes its
  // compression leaves no earlier pieces beside the new ones.
  for (const TCompression format : {cmNone, cmGzip, cmZstd}) {
    const TPieceName names(Session->Settings.PieceName, PieceSourceName(Session->SourceFile, Reader_->Decompresses()),
                           CompressedSuffix(format));
    for (std::string& path : EarlierPieces(folder, names)) paths.push_back(std::move(path));
    for (std::string& path : UnfinishedPieces(folder, names)) paths.push_back(std::move(path));
  }
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  return paths;
}

void TFileSplitter::CheckSourceIsSafe(const std::string& dest_folder, const std::vector<std::string>& entries,
                                      const std::vector<std::string>& cleared) const {
  const std::vector<TFileIdentity> reached = SourceEntries();
  if (reached.empty()) return;
  const std::string folder = dest_folder.empty() ? "." : dest_folder;
  // Clearing and the pieces remove or replace only entries named like a
  // piece (or its temporary name), never what a link there points to: the
  // source is in danger when such an entry is the source file itself,
  // under any name, or a link that the source's path goes through.
  for (const std::string& name : entries) {
    const std::string path = JoinPath(folder, name);
    const bool deleted = std::binary_search(cleared.begin(), cleared.end(), path);
    if (!deleted && !Names_.IsPieceName(name) && !Names_.IsPartName(name)) continue;
    RefuseSourceEntry(path,
                      deleted ? "be deleted when the destination folder \"" + dest_folder + "\" is cleared"
                              : "be overwritten by the piece \"" + name + "\"",
                      reached);
  }
}

std::vector<TFileIdentity> TFileSplitter::SourceEntries() const {
  TFileIdentity source;
  if (Session->SourceFile == kStandardInputName || !GetFileIdentity(Session->SourceFile, source)) return {};
  std::vector<TFileIdentity> reached = LinkChainIdentities(Session->SourceFile);
  reached.push_back(source);
  return reached;
}

void TFileSplitter::RefuseSourceEntry(const std::string& path, const std::string& why,
                                      const std::vector<TFileIdentity>& reached) const {
  TFileIdentity entry;
  if (!GetEntryIdentity(path, entry) || std::find(reached.begin(), reached.end(), entry) == reached.end()) return;
  throw EQuillmereError("The source file \"" + Session->SourceFile + "\" would " + why +
                        "; choose a destination folder that does not hold it.");
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
  if (!OutOfRoom_) {
    // Pieces with replaced characters are not the source's text: no
    // manifest vouches for them.
    if (Session->Settings.Manifest && Status().ErrorCount == 0 && CharactersReplaced() == 0) WriteManifest();
    return;
  }
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
  SetRecordGoesOn(goes_on);
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
    const bool own_end = KeepEnds_ || RecordContinues();
    if (Converts_) {
      Transcoder_->Convert(own_end ? Reader_->CurrentLineWithEnd() : Reader_->CurrentLine(), text);
      if (!own_end) text += Writer_.LineEnd();
    } else {
      text += Reader_->CurrentLine();
      text += own_end ? CurrentLineEnd() : Writer_.LineEnd();
    }
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
  // Built in a buffer of the run: no string of its own per piece.
  PiecePath_.assign(Session->DestFolder);
  if (!PiecePath_.empty() && PiecePath_.back() != '/') PiecePath_ += '/';
  Names_.AppendName(PieceCount_, PiecePath_);
  Writer_.Open(PiecePath_, ByteOrderMarkOf(OutputEncoding_));
  ++PiecesCreated_;
}

std::string TFileSplitter::PiecePath(std::string_view name) const { return PathIn(Session->DestFolder, name); }

std::string TFileSplitter::PathIn(const std::string& dest_folder, std::string_view name) {
  std::string path = dest_folder;
  if (!dest_folder.empty() && dest_folder.back() != '/') path += '/';
  return path += name;
}

void TFileSplitter::RemoveEarlierManifest() {
  const std::string path = PiecePath(kManifestName);
  RefuseSourceEntry(path, "be deleted as the manifest of an earlier split", SourceEntries());
  Listed_.clear();
  std::string text;
  try {
    if (ReadWholeFileIfExists(path, text)) Listed_ = ManifestPieces(text);
  } catch (const EQuillmereError&) {
    // Unreadable: it lists nothing.
  }
  RemoveManifest(Session->DestFolder);
}

void TFileSplitter::RemoveManifest(const std::string& dest_folder) {
  const std::string path = PathIn(dest_folder, kManifestName);
  DeleteEntries({path, PartPath(path)});
}

void TFileSplitter::WriteManifest() {
  Writer_.Close();
  std::string text = kManifestHeader;
  for (const TPieceWriter::TClosedPiece& piece : Closed_) {
    // A piece cut back holds no checksum; the split did not succeed then.
    if (piece.Sha256.empty()) return;
    text += std::string(FileNamePart(piece.Path)) + "\t" + std::to_string(piece.Records) + "\t" +
            std::to_string(piece.Bytes) + "\t" + piece.Sha256 + "\n";
  }
  WriteWholeFileAtomically(PiecePath(kManifestName), text);
}
