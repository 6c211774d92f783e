#include "convert/UFileSplitter.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

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

TFileSplitter::TFileSplitter(const TSplitterSizes& sizes) : Sizes_(sizes), Writer_(sizes.FlushThreshold) {}

TFileSplitter::~TFileSplitter() = default;

void TFileSplitter::Prepare() {
  DestinationTouched_ = false;
  Extension_ = FileExtension(Session->SourceFile);
  OutputEncoding_ = NormalizeEncodingName(Session->Settings.SourceEncoding);
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
  OutOfRoom_ = false;
  Quoted_ = Session->Settings.QuotedFields;
  // The source is opened before the destination is touched, so a source that
  // cannot be opened leaves the destination as it was.
  Reader_->Open(Session->SourceFile);
  Reader_->SetEncodingName(Session->Settings.SourceEncoding);
  // The pieces are written in the encoding the source is read in, so each
  // line is written as its own bytes: nothing a round trip through UTF-8
  // would change (undefined bytes, lone surrogates, characters with two
  // codes) is lost. Only detection may read UTF-16 and write UTF-8 (the
  // task then names no encoding to write); those lines are decoded.
  const std::string& name = Session->Settings.SourceEncoding;
  const bool detected = name.empty() || IsAutoDetect(name);
  const bool detected_utf16 = detected && DecoderFor(Reader_->EncodingName()) != TDecoderKind::Utf8;
  if (!detected_utf16) Reader_->KeepSourceBytes();
  if (Quoted_) Reader_->TrackQuotes();
  Writer_.Start(Reader_->CrLf(), Quoted_,
                {.CheckSource = [this] { Reader_->CheckIntact(); }, .Lost = [this](int64_t n) { CountFailed(n); }});
  ReportUnconvertedEncoding();
  PrepareDestination();
}

void TFileSplitter::ReportUnconvertedEncoding() {
  const std::string& name = Session->Settings.SourceEncoding;
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
    ClearFolder(dest);
  else
    ForceFolder(dest);
  if (!DirectoryExists(dest)) throw EInOutError("Cannot create destination folder \"" + dest + "\"");
}

void TFileSplitter::CheckSourceIsSafe(const std::string& dest_folder) const {
  TFileIdentity source;
  if (!GetFileIdentity(Session->SourceFile, source)) return;
  const std::string folder = dest_folder.empty() ? "." : dest_folder;
  if (!DirectoryExists(folder)) return;
  auto refuse = [this](const std::string& why) {
    throw EQuillmereError("The source file \"" + Session->SourceFile + "\" " + why +
                          "; choose a destination folder that does not hold it.");
  };
  if (!dest_folder.empty()) {
    // Clearing removes entries, never what links point to: it takes the
    // source away when it removes the file itself, under any name, or a link
    // that the source's path goes through.
    std::vector<TFileIdentity> reached = LinkChainIdentities(Session->SourceFile);
    reached.push_back(source);
    ForEachFileClearFolderDeletes(folder, [&](const std::string& path) {
      struct stat st;
      if (lstat(path.c_str(), &st) != 0) return;
      if (std::find(reached.begin(), reached.end(), TFileIdentity{st.st_dev, st.st_ino}) != reached.end())
        refuse("would be deleted when the destination folder \"" + dest_folder + "\" is cleared");
    });
  }
  // Entries that survive clearing and carry a piece name would be overwritten.
  for (const std::string& name : ListFolder(folder)) {
    if ((!dest_folder.empty() && IsPieceFormName(name)) || !IsPieceName(name, Extension_)) continue;
    TFileIdentity entry;
    if (GetFileIdentity(folder + "/" + name, entry) && entry == source)
      refuse("would be overwritten by the piece \"" + name + "\"");
  }
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
  const TCountLineResult& count = TFileLineCountCache::GetLineCount(Session->SourceFile);
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
}
