// Runs a split task: builds the splitter its rule names, binds the outputer
// to the splitter's status, and runs it once.
#pragma once

#include <memory>
#include <string>

#include "convert/UFileSplitter.h"
#include "execution/USessionExecutor.h"
#include "tasks/USplitSettings.h"

// A new splitter for the rule. A name of no rule raises EQuillmereError,
// before any file is touched.
std::unique_ptr<TFileSplitter> CreateSplitter(const TNamedChoice<TSplitRule>& rule, const TSplitterSizes& sizes = {});
// Adds the pieces, records and failed records of the splitter's last run.
void CountSplit(const TFileSplitter& splitter, TTaskResult& result);

class TFileSplitSessionExecutor : public TSessionExecutor {
 public:
  TFileSplitSessionExecutor();
  ~TFileSplitSessionExecutor() override;

  bool Execute() override;
  void Stop() override;
  void Refuse() override;

  TFileSplitter* Splitter() const { return Splitter_.get(); }
  // Handed to the splitter this executor creates.
  TSplitterSizes SplitterSizes;

 private:
  std::unique_ptr<TFileSplitter> Splitter_;
};
