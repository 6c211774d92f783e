// The names a split gives its pieces, from a template: {n} the piece's
// number, {n:W} the number zero-padded to W digits, {name} the source's file
// name without its extension, {ext} its extension with the dot. "{n}{ext}"
// gives the pieces 1.csv, 2.csv, ... of a source named orders.csv.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TPieceName {
 public:
  static constexpr std::string_view kDefault = "{n}{ext}";
  // Widths a number may be padded to: an int64 has 19 digits.
  static constexpr int kMaxWidth = 20;

  // True when Text is a template: it names no folder ("/"), holds {n} or
  // {n:W} (W from 1 to kMaxWidth) at least once, and every "{" opens one of
  // the four placeholders. The empty text stands for kDefault.
  static bool IsTemplate(std::string_view text);

  // Text (kDefault when empty or no template) for the pieces of the source
  // at SourcePath, each name followed by Suffix (".gz" for pieces so
  // compressed).
  TPieceName(std::string_view text, std::string_view source_path, std::string_view suffix = {});

  // The name of piece Number (from 1).
  std::string Name(int64_t number) const;
  // Appends it to Out: once per piece, without a string of its own.
  void AppendName(int64_t number, std::string& out) const;
  // True when Name is the name of some piece from 1 on. Every name Name
  // gives is one; "01.csv" is none under "{n}{ext}".
  bool IsPieceName(std::string_view name) const;
  // True when Name is the temporary name of a piece (PartPath's): "." + a
  // piece name + ".part".
  bool IsPartName(std::string_view name) const;

 private:
  // A run of literal text, or the number padded to Width digits (Width > 0).
  struct TPart {
    std::string Text;
    int Width = 0;
  };

  std::vector<TPart> Parts_;  // the template with {name} and {ext} filled in
};
