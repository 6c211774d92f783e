// Runs a split task: builds the splitter its rule names, binds the outputer
// to the splitter's status, and runs it once.
#pragma once

#include <memory>
#include <string>

#include "execution/USessionExecutor.h"

#include "convert/UFileSplitter.h"

// A new splitter for the rule name ("Lines", "File Size", "Symbol", compared
// exactly), or nullptr for any other name.
std::unique_ptr<TFileSplitter> CreateSplitter(const std::string& split_by_type, const TSplitterSizes& sizes = {});

class TFileSplitSessionExecutor : public TSessionExecutor {
 public:
  TFileSplitSessionExecutor();
  ~TFileSplitSessionExecutor() override;

  bool Execute() override;
  void Stop() override;

  TFileSplitter* Splitter() const { return Splitter_.get(); }
  // Handed to the splitter this executor creates.
  TSplitterSizes SplitterSizes;

 private:
  std::unique_ptr<TFileSplitter> Splitter_;
};
