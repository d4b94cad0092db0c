// The log: ORVANTA_LOG chooses levels for every category or per category, and a line goes out
// only when its category's level lets it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/base/Log.h"

namespace {

class LogTest : public testing::Test {
protected:
    void SetUp() override {
        SetLogSink([this](LogLevel level, const std::string& category, const std::string& message) {
            lines.push_back(category + "/" + std::to_string(static_cast<int>(level)) + " " + message);
        });
    }
    void TearDown() override {
        SetLogSink({});
        unsetenv("ORVANTA_LOG");
        LogConfigure();
    }
    void Choose(const char* spec) {
        if (spec) setenv("ORVANTA_LOG", spec, 1);
        else unsetenv("ORVANTA_LOG");
        LogConfigure();
    }
    void WriteOneOfEach(const char* category) {
        LogError(category, "e");
        LogWarning(category, "w");
        LogInfo(category, "i");
        LogDebug(category, "d");
    }
    std::vector<std::string> lines;
};

TEST_F(LogTest, WithoutTheVariableWarningsAndErrorsGoOut) {
    Choose(nullptr);
    WriteOneOfEach("engine");
    EXPECT_EQ(lines, (std::vector<std::string>{"engine/0 e", "engine/1 w"}));
}

TEST_F(LogTest, ALevelAppliesToEveryCategoryAndACategoryLevelOverridesIt) {
    Choose("error,engine=debug,dshow=info");
    WriteOneOfEach("engine");
    WriteOneOfEach("dshow");
    WriteOneOfEach("os");
    EXPECT_EQ(lines, (std::vector<std::string>{"engine/0 e", "engine/1 w", "engine/2 i", "engine/3 d", "dshow/0 e",
                                               "dshow/1 w", "dshow/2 i", "os/0 e"}));
    EXPECT_TRUE(LogEnabled(LogLevel::Debug, "engine"));
    EXPECT_FALSE(LogEnabled(LogLevel::Debug, "dshow"));
}

TEST_F(LogTest, UnknownLevelsAreIgnoredAndTheRestStillApplies) {
    Choose("loud,relayo=chatty,engine=info,,");
    WriteOneOfEach("engine");
    WriteOneOfEach("relayo");
    EXPECT_EQ(lines, (std::vector<std::string>{"engine/0 e", "engine/1 w", "engine/2 i", "relayo/0 e", "relayo/1 w"}));
}

}  // namespace
