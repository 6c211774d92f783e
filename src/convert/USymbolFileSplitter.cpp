#include "convert/USymbolFileSplitter.h"

#include "tasks/UFileSplitSession.h"
#include "util/UTextUtils.h"

namespace {
inline char AsciiUpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

void TSymbolFileSplitter::InitSplit() {
  IgnoreCase_ = Session->Settings.IgnoreCase;
  Symbol_ = IgnoreCase_ ? AsciiUpper(Session->Settings.SymbolValue) : Session->Settings.SymbolValue;
  const TSymbolType type = Session->Settings.SymbolType.Value();
  Kind_ = type == stSeparator   ? TKind::Separator
          : type == stStartWith ? TKind::StartWith
          : type == stEndWith   ? TKind::EndWith
                                : TKind::None;
  // A unit of the source below 0x80 stands for its ASCII character, so the
  // edge unit of a line tells what MayMatch would of its text's edge byte.
  const char edge = Symbol_.empty() ? '\0' : Kind_ == TKind::EndWith ? Symbol_.back() : Symbol_.front();
  const auto unit = static_cast<unsigned char>(edge);
  MarkedRuns_ = Kind_ != TKind::None && unit > 0 && unit < 0x80 && edge != '\r' && edge != '\n';
  Marker_ = {};
  Marker_.AtEnd = Kind_ == TKind::EndWith;
  Marker_.Units[0] = unit;
  Marker_.Units[1] = IgnoreCase_ && edge >= 'A' && edge <= 'Z' ? unit - 'A' + 'a' : unit;
  TFileSplitter::InitSplit();
}

bool TSymbolFileSplitter::SameBytes(std::string_view text) const {
  if (!IgnoreCase_) {
    // Most lines differ in their first byte; that test needs no call.
    if (!text.empty() && text[0] != Symbol_[0]) return false;
    return text == Symbol_;
  }
  for (size_t i = 0; i < text.size(); ++i)
    if (AsciiUpperChar(text[i]) != Symbol_[i]) return false;
  return true;
}

bool TSymbolFileSplitter::MatchSeparator(std::string_view line) const {
  return Kind_ == TKind::Separator && line.size() == Symbol_.size() && SameBytes(line);
}

bool TSymbolFileSplitter::MatchStartWith(std::string_view line) const {
  return Kind_ == TKind::StartWith && line.size() >= Symbol_.size() && SameBytes(line.substr(0, Symbol_.size()));
}

bool TSymbolFileSplitter::MatchEndWith(std::string_view line) const {
  return Kind_ == TKind::EndWith && line.size() >= Symbol_.size() &&
         SameBytes(line.substr(line.size() - Symbol_.size()));
}

void TSymbolFileSplitter::PlaceLine(std::string_view text) {
  const bool several_lines = RecordContinues();
  AtSeparator_ = !several_lines && MatchSeparator(text);
  AtStart_ = MatchStartWith(text);
  AtEnd_ = MatchEndWith(text);
  AtFirst_ = LineIndex() == 0;
  // Before the line: a separator or start line ends the piece gathered so far.
  if (AtSeparator_ || AtStart_) {
    Writer().Flush();
    Writer().Close();
  }
  if (AtFirst_ || AtStart_) OpenNextPiece();
  if (!AtSeparator_) AppendCurrentLine();
  if (several_lines) {
    AppendRecordRest();
    AtEnd_ = MatchEndWith(Reader().CurrentText());  // the record's last line
  }
  AtLast_ = IsLastLine();
  if (AtEnd_ || AtLast_)
    Writer().Flush();
  else if (Writer().OverThreshold())
    Writer().FlushHead();
  // After the line: an end line or separator opens the next piece.
  if (AtEnd_ || AtLast_) Writer().Close();
  if ((AtEnd_ || AtSeparator_) && !AtLast_) OpenNextPiece();
}
