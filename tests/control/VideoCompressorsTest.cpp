// ShowPropertyPage of the video compressor collection: the compressor named by the item is found
// in the compressor manager's installed list by its description, opened once per index and
// configured over the owner window.
#include <gtest/gtest.h>

#include "control/Collections.h"
#include "platform/codecs/CompressorSettings.h"
#include "platform/com/DispatchDriver.h"

namespace {

struct Recorder {
    int fastOpens = 0;
    int queryOpens = 0;
    bool failFastOpens = false;
    std::vector<std::string> configured;
    std::vector<uint32_t> owners;
    bool accept = true;
};

class VideoCompressorsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const CompressorInfo& info : InstalledCompressors(CompressorKind::Video))
            installed.push_back(info.friendlyName);
        if (installed.size() < 2) GTEST_SKIP() << "fewer than two video compressors installed";
        SetCompressorDialogRunner(
            [this](const CompressorInfo& info, CompressorSettings&, uint32_t owner) {
                calls.configured.push_back(info.friendlyName);
                calls.owners.push_back(owner);
                return calls.accept;
            });
        compressors = MakeCom<CVideoCompressors>();
        compressors->SetCompressorOpener([this](uint32_t type, uint32_t handler, int mode) {
            if (mode == ICMODE_FASTCOMPRESS) {
                ++calls.fastOpens;
                if (calls.failFastOpens) return std::unique_ptr<OpenCompressor>();
            }
            if (mode == ICMODE_QUERY) ++calls.queryOpens;
            return ICOpen(type, handler, mode);
        });
        compressors->SetOwnerWindow(4242);
    }
    void TearDown() override { SetCompressorDialogRunner(nullptr); }

    void Fill(NameList names) {
        compressors->Entries() = std::move(names);
        compressors->Sync();
    }

    std::vector<std::string> installed;
    Recorder calls;
    ComPtr<CVideoCompressors> compressors;
};

}  // namespace

TEST_F(VideoCompressorsTest, OpensOncePerIndexAndConfiguresOverTheOwnerWindow) {
    Fill({installed[0], installed[1], "No Such Compressor"});
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 1);
    // The installed list is read once, every compressor in query mode.
    EXPECT_EQ(calls.queryOpens, static_cast<int>(installed.size()));
    ASSERT_EQ(calls.configured, std::vector<std::string>{installed[0]});
    EXPECT_EQ(calls.owners, std::vector<uint32_t>{4242});

    // The same index again: configured again, not reopened.
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 1);
    EXPECT_EQ(calls.configured.size(), 2u);

    // Another index closes it and opens the other one; back again reopens.
    EXPECT_EQ(compressors->ShowPropertyPage(1), TRUE);
    EXPECT_EQ(calls.fastOpens, 2);
    EXPECT_EQ(calls.configured.back(), installed[1]);
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 3);
    EXPECT_EQ(calls.configured.back(), installed[0]);

    // A name the manager does not list, or no item at all: FALSE and no dialog.
    EXPECT_EQ(compressors->ShowPropertyPage(2), FALSE);
    EXPECT_EQ(compressors->ShowPropertyPage(3), FALSE);
    EXPECT_EQ(compressors->ShowPropertyPage(-1), FALSE);
    EXPECT_EQ(calls.fastOpens, 3);
    EXPECT_EQ(calls.configured.size(), 4u);
    EXPECT_EQ(calls.queryOpens, static_cast<int>(installed.size()));

    // After a miss the last configured index changed: index 0 opens afresh.
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 4);
}

TEST_F(VideoCompressorsTest, TheDialogsAnswerDoesNotChangeTheResult) {
    Fill({installed[0]});
    calls.accept = false;
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(compressors->LastDefaultQuality(), -1);  // asked only after an accepted dialog
    calls.accept = true;
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(compressors->LastDefaultQuality(), DefaultQuality(installed[0]));

    // Through Invoke, as a container calls it: BOOL is 1.
    Variant result;
    DispatchDriver d{ComPtr<IDispatch>(compressors.Get())};
    ASSERT_EQ(d.Call("ShowPropertyPage", {Variant(int16_t{0})}, &result), S_OK);
    EXPECT_EQ(result, Variant(int32_t{1}));
    ASSERT_EQ(d.Call("ShowPropertyPage", {Variant(int16_t{5})}, &result), S_OK);
    EXPECT_EQ(result, Variant(int32_t{0}));
    EXPECT_EQ(calls.fastOpens, 1);
}

TEST_F(VideoCompressorsTest, AFailedOpenOrAChangedItemOpensAgainForTheSameIndex) {
    Fill({installed[0]});
    calls.failFastOpens = true;
    EXPECT_EQ(compressors->ShowPropertyPage(0), FALSE);
    EXPECT_TRUE(calls.configured.empty());
    // Nothing is open for index 0: the next call tries again instead of configuring nothing.
    calls.failFastOpens = false;
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 2);
    ASSERT_EQ(calls.configured, std::vector<std::string>{installed[0]});

    // The session refilled the list: index 0 now names another compressor, which is the one
    // configured.
    Fill({installed[1]});
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 3);
    EXPECT_EQ(calls.configured.back(), installed[1]);
    EXPECT_EQ(compressors->ShowPropertyPage(0), TRUE);
    EXPECT_EQ(calls.fastOpens, 3);
}
