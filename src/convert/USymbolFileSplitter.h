// Split rule "Symbol": pieces bounded by separator lines (equal to the
// symbol, written nowhere), start lines (begin a piece) or end lines (end a
// piece). IgnoreCase folds ASCII letters only.
#pragma once

#include <string>
#include <string_view>

#include "convert/UFileSplitter.h"

class TSymbolFileSplitter final : public TFileSplitter {
  // The record loop and ConvertLine call the record steps directly.
  friend class TIterativeConverter;
  friend class TFileSplitter;

 public:
  // Valid once the run has started (the settings are read at its start).
  bool MatchSeparator(std::string_view line) const;
  bool MatchStartWith(std::string_view line) const;
  bool MatchEndWith(std::string_view line) const;

 protected:
  void RecordLoop() override { RunRecordLoop(*this); }
  void ConvertOneRecord() override { ConvertLine(*this); }
  void InitSplit() override;
  void SplitOneLine() override;

 private:
  // Compares Line with the symbol byte for byte, ASCII-folded with IgnoreCase.
  bool SameBytes(std::string_view line) const;

  enum class TKind { None, Separator, StartWith, EndWith };

  bool AtSeparator_ = false, AtStart_ = false, AtEnd_ = false, AtFirst_ = false, AtLast_ = false;
  std::string Symbol_;  // SymbolValue, upper-cased with IgnoreCase
  TKind Kind_ = TKind::None;  // SymbolType, compared once per run
  bool IgnoreCase_ = false;
};
