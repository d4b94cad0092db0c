// The main of every test program: a Qt application (offscreen) for window and timer code, and a
// fresh test environment around every test case.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "tests/support/TestEnvironment.h"

namespace {
class EnvironmentListener : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        testing_support::TestEnvironment::Current().SetUp();
    }
    void OnTestEnd(const testing::TestInfo&) override {
        testing_support::TestEnvironment::Current().TearDown();
    }
};
}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new EnvironmentListener);
    return RUN_ALL_TESTS();
}
