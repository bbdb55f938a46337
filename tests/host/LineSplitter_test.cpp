#include "../../host/LineSplitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rilo::host {
namespace {

struct Collected {
  std::vector<std::string> texts;
  std::vector<bool> too_long;
  LineSplitter::Sink sink() {
    return [this](InputLine& line) {
      texts.push_back(line.text);
      too_long.push_back(line.too_long);
    };
  }
};

TEST(LineSplitter, LinesAcrossChunksWithCrLfAndEmptyLines) {
  Collected out;
  LineSplitter splitter(100);
  splitter.Feed("{\"a\":1}\n\n{\"b\"", out.sink());
  EXPECT_EQ(out.texts.size(), 2u);
  splitter.Feed(":2}\r\nlast", out.sink());
  splitter.Finish(out.sink());
  EXPECT_EQ(out.texts, (std::vector<std::string>{"{\"a\":1}", "", "{\"b\":2}", "last"}));
}

TEST(LineSplitter, NoLastLineWhenInputEndsWithALineBreak) {
  Collected out;
  LineSplitter splitter(100);
  splitter.Feed("one\n", out.sink());
  splitter.Finish(out.sink());
  EXPECT_EQ(out.texts, (std::vector<std::string>{"one"}));
}

TEST(LineSplitter, OverlongLineIsReportedOnceAndTheNextLineIsIntact) {
  Collected out;
  LineSplitter splitter(8);
  splitter.Feed("12345", out.sink());
  splitter.Feed("67890abc", out.sink());  // over the limit in the middle of a chunk
  splitter.Feed("def\nshort\n12345678\n", out.sink());
  EXPECT_EQ(out.texts, (std::vector<std::string>{"", "short", "12345678"}));
  EXPECT_EQ(out.too_long, (std::vector<bool>{true, false, false}));
}

TEST(LineSplitter, CarriageReturnDoesNotCountAgainstTheLimit) {
  Collected out;
  LineSplitter splitter(4);
  splitter.Feed("abcd\r\nabcde\r\n", out.sink());
  EXPECT_EQ(out.texts, (std::vector<std::string>{"abcd", ""}));
  EXPECT_EQ(out.too_long, (std::vector<bool>{false, true}));
}

}  // namespace
}  // namespace rilo::host
