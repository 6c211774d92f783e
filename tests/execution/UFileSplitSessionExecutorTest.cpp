#include "execution/UFileSplitSessionExecutor.h"

#include <gtest/gtest.h>

#include "convert/UFileSizeFileSplitter.h"
#include "convert/ULinesFileSplitter.h"
#include "convert/USymbolFileSplitter.h"
#include "util/UErrors.h"

TEST(CreateSplitter, BuildsTheSplitterOfTheRule) {
  EXPECT_NE(dynamic_cast<TLinesFileSplitter*>(CreateSplitter(srLines).get()), nullptr);
  EXPECT_NE(dynamic_cast<TFileSizeFileSplitter*>(CreateSplitter(srFileSize).get()), nullptr);
  EXPECT_NE(dynamic_cast<TSymbolFileSplitter*>(CreateSplitter(srSymbol).get()), nullptr);
}

TEST(CreateSplitter, ANameOfNoRuleRaisesWithTheName) {
  for (const char* name : {"lines", "", "Line"}) {
    try {
      CreateSplitter(TNamedChoice<TSplitRule>(name));
      ADD_FAILURE() << "no error for \"" << name << "\"";
    } catch (const EQuillmereError& e) {
      EXPECT_EQ(std::string(e.what()), "Unknown split rule \"" + std::string(name) +
                                           "\": SplitByType must be \"Lines\", \"File Size\" or \"Symbol\".");
    }
  }
}
