// Tests of the host's script console (being written).
#include <gtest/gtest.h>

#include "../host/script.h"

TEST(ScriptConsole, SplitsWords) {
  std::vector<std::string> words;
  std::string error;
  ASSERT_TRUE(host::ScriptConsole::SplitLine("a b", &words, &error));
  EXPECT_EQ(words.size(), 2u);
}
