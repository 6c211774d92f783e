// Split rule "Lines": MaxLines lines per piece, the last piece holding the
// rest; with KeepHeader the source's first line heads every piece.
#pragma once

#include <string>

#include "convert/UFileSplitter.h"

class TLinesFileSplitter : public TFileSplitter {
 public:
  const std::string& Header() const { return Header_; }

 protected:
  // Refuses MaxLines below 1 before the source or destination is touched.
  void InitSplit() override;
  void SplitOneLine() override;

 private:
  void ReadHeader();
  void WriteHeader();

  std::string Header_;
};
