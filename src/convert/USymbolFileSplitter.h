// Split rule "Symbol": pieces bounded by separator lines (equal to the
// symbol, written nowhere), start lines (begin a piece) or end lines (end a
// piece). IgnoreCase folds ASCII letters only. A CSV record (QuotedFields)
// separates when it is one line equal to the symbol, starts a piece when its
// first line starts with it and ends one when its last line ends with it.
#pragma once

#include <string>
#include <string_view>

#include "convert/UFileSplitter.h"

class TSymbolFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  using TFileSplitter::TFileSplitter;
  // Valid once the run has started (the settings are read at its start).
  bool MatchSeparator(std::string_view line) const;
  bool MatchStartWith(std::string_view line) const;
  bool MatchEndWith(std::string_view line) const;

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  void InitSplit() override;
  // Once per line: a line that matches nothing and is neither the first
  // nor the last only joins the pending text; the rest is kept out of line.
  // Lines are compared as UTF-8 text and written as they are read; a line
  // of another encoding is decoded only as far as the first test needs,
  // and whole only when it may match.
  void SplitOneLine() override {
    if (LineIndex() != 0 && !RecordContinues() && !MayMatch() && !IsLastLine()) [[likely]] {
      AtSeparator_ = AtStart_ = AtEnd_ = AtFirst_ = AtLast_ = false;
      AppendCurrentLine();
      if (Writer().OverThreshold()) [[unlikely]]
        Writer().FlushHead();
      return;
    }
    PlaceLine(Reader().CurrentText());
  }
  // The lines after the current record that cannot match (their first, or
  // for end lines last, code unit is not the symbol's edge character) only
  // join the pending text: placed as a run.
  void ConvertRecordRun() {
    if (!MarkedRuns_) return;
    Marker_.Above = Reader().RunAsciiUnitLimit();
    if (Marker_.Above == 0) return;
    AppendLineRun(*this, INT64_MAX, INT64_MAX, &Marker_);
  }

 private:
  // Compares Line with the symbol byte for byte, ASCII-folded with IgnoreCase.
  bool SameBytes(std::string_view line) const;
  // False only for a line that cannot match: the first (for end lines,
  // last) byte of its text differs from the symbol's.
  bool MayMatch() {
    if (Kind_ == TKind::None) return false;
    if (Symbol_.empty()) return true;
    const bool end = Kind_ == TKind::EndWith;
    const std::string_view edge = end ? Reader().CurrentTextTail(1) : Reader().CurrentTextHead(1);
    if (edge.empty()) return false;
    char c = edge[0];
    if (IgnoreCase_ && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return c == (end ? Symbol_.back() : Symbol_.front());
  }
  // The rule's steps in full, for any line; Text is its UTF-8.
  [[gnu::noinline]] void PlaceLine(std::string_view text);

  enum class TKind { None, Separator, StartWith, EndWith };

  bool AtSeparator_ = false, AtStart_ = false, AtEnd_ = false, AtFirst_ = false, AtLast_ = false;
  std::string Symbol_;        // SymbolValue, upper-cased with IgnoreCase
  TKind Kind_ = TKind::None;  // SymbolType, compared once per run
  bool IgnoreCase_ = false;
  // Lines are placed in runs that stop before every line MayMatch lets
  // through: the symbol's edge character is ASCII.
  bool MarkedRuns_ = false;
  TRunMarker Marker_;
};
