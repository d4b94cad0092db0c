#include "platform/os/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

TEST(CommandLine, SplitsOnBlanksAndKeepsQuotedTextTogether) {
    EXPECT_THAT(*SplitCommandLine("MyChildProcess"), ElementsAre("MyChildProcess"));
    EXPECT_THAT(*SplitCommandLine("  a \t b\nc  "), ElementsAre("a", "b", "c"));
    EXPECT_THAT(*SplitCommandLine(""), IsEmpty());
    EXPECT_THAT(*SplitCommandLine("   "), IsEmpty());
    EXPECT_THAT(*SplitCommandLine(R"(play "/tmp/my file.wmv" 'a  b')"),
                ElementsAre("play", "/tmp/my file.wmv", "a  b"));
    EXPECT_THAT(*SplitCommandLine(R"("a"'b'c "" '')"), ElementsAre("abc", "", ""));
}

TEST(CommandLine, EscapesFollowShellRules) {
    EXPECT_THAT(*SplitCommandLine(R"(a\ b \"q\" \\)"), ElementsAre("a b", "\"q\"", "\\"));
    // Inside double quotes only " \ $ ` escape; other backslashes stay.
    EXPECT_THAT(*SplitCommandLine(R"("say \"hi\" \$x \n")"), ElementsAre(R"(say "hi" $x \n)"));
    // Nothing escapes inside single quotes, and nothing is expanded anywhere.
    EXPECT_THAT(*SplitCommandLine(R"('it\' $HOME *)"), ElementsAre("it\\", "$HOME", "*"));
    EXPECT_THAT(*SplitCommandLine(R"(sh -c 'echo "$*" >> /tmp/log' shutdown)"),
                ElementsAre("sh", "-c", R"(echo "$*" >> /tmp/log)", "shutdown"));
}

TEST(CommandLine, UnfinishedQuotesAndEscapesAreRefused) {
    EXPECT_FALSE(SplitCommandLine(R"(a "b)"));
    EXPECT_FALSE(SplitCommandLine("a 'b"));
    EXPECT_FALSE(SplitCommandLine(R"(a \)"));
    EXPECT_FALSE(SplitCommandLine(R"("a\")"));
}

TEST(CommandLine, JoinedArgumentsSplitBackUnchanged) {
    std::vector<std::string> arguments{"browser", "", "it's", "a \"b\" $HOME `x` \\ ;|&", "-\n\t"};
    EXPECT_EQ(*SplitCommandLine(JoinCommandLine(arguments)), arguments);
}
