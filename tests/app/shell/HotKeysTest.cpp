#include "app/shell/HotKeys.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "app/shell/ConfigSections.h"
#include "app/shell/IniStore.h"
#include "platform/os/MessageBoxRecorder.h"
#include "platform/x11/GlobalHotKeys.h"

namespace {

// The desktop's hot keys as ApplyHotKeys sees them: registrations by id, and letters another
// program already holds.
class FakeHotKeys : public GlobalHotKeys {
public:
    bool Available() const override { return available; }
    std::string Reason() const override { return available ? "" : "no display"; }
    BOOL RegisterHotKey(int id, UINT modifiers, UINT virtualKey) override {
        calls.push_back("register " + std::to_string(id));
        if (registered.count(id) || heldElsewhere.count(virtualKey)) return FALSE;
        registered[id] = {modifiers, virtualKey};
        return TRUE;
    }
    BOOL UnregisterHotKey(int id) override {
        calls.push_back("unregister " + std::to_string(id));
        return registered.erase(id) ? TRUE : FALSE;
    }
    void SetHandler(Handler h) override { handler = std::move(h); }

    bool available = true;
    std::map<int, std::pair<UINT, UINT>> registered;
    std::set<UINT> heldElsewhere;
    std::vector<std::string> calls;
    Handler handler;
};

class HotKeysTest : public testing::Test {
protected:
    HotKeyOutcome Apply(std::array<std::string, 5> edits) {
        return ApplyHotKeys(keys_, edits, settings_, store_);
    }
    std::string Letters() const { return std::string(settings_.keys.begin(), settings_.keys.end()); }

    FakeHotKeys keys_;
    ScreenRecorderSettings settings_;
    IniStore store_;
    MessageBoxRecorder boxes_;
};

TEST_F(HotKeysTest, LowerCaseLettersRegisterCtrlWithTheCapital) {
    HotKeyOutcome outcome = Apply({"k", "p", "quit", "I", "o"});
    EXPECT_EQ(outcome.result, HotKeyOutcome::Registered);
    ASSERT_EQ(keys_.registered.size(), 5u);
    EXPECT_EQ(keys_.registered[kHotKeyStart], std::make_pair(MOD_CONTROL, UINT{'K'}));
    EXPECT_EQ(keys_.registered[kHotKeyStop], std::make_pair(MOD_CONTROL, UINT{'Q'}));
    EXPECT_EQ(Letters(), "KPQIO");
    EXPECT_EQ(store_.GetChar(kCatchScreen, "StartKey", 0), 'K');
    EXPECT_EQ(store_.GetChar(kCatchScreen, "ZoomOutKey", 0), 'O');
    EXPECT_TRUE(boxes_.Calls().empty());
    // Every id is unregistered first, then registered in id order.
    ASSERT_EQ(keys_.calls.size(), 10u);
    EXPECT_EQ(keys_.calls[0], "unregister 40981");
    EXPECT_EQ(keys_.calls[5], "register 40981");
    EXPECT_EQ(keys_.calls[9], "register 40985");
}

TEST_F(HotKeysTest, ANonLetterShowsTheMessageAndKeepsTheOldKeys) {
    ASSERT_EQ(Apply({"A", "B", "C", "D", "E"}).result, HotKeyOutcome::Registered);
    keys_.calls.clear();
    for (std::array<std::string, 5> edits :
         {std::array<std::string, 5>{"1", "B", "C", "D", "E"}, {"A", "", "C", "D", "E"},
          {"A", "B", "C", "D", "\xC3\x84"}}) {
        EXPECT_EQ(Apply(edits).result, HotKeyOutcome::NotALetter);
    }
    ASSERT_EQ(boxes_.Calls().size(), 3u);
    EXPECT_EQ(boxes_.Calls()[0].text, kHotKeyLetterText);
    EXPECT_EQ(boxes_.Calls()[0].Icon(), MB_ICONINFORMATION);
    EXPECT_TRUE(keys_.calls.empty());
    EXPECT_EQ(Letters(), "ABCDE");
    EXPECT_EQ(keys_.registered.size(), 5u);
}

TEST_F(HotKeysTest, TwoEqualLettersChangeNothingSilently) {
    ASSERT_EQ(Apply({"A", "B", "C", "D", "E"}).result, HotKeyOutcome::Registered);
    keys_.calls.clear();
    EXPECT_EQ(Apply({"K", "P", "k", "I", "O"}).result, HotKeyOutcome::Duplicate);
    EXPECT_TRUE(boxes_.Calls().empty());
    EXPECT_TRUE(keys_.calls.empty());
    EXPECT_EQ(Letters(), "ABCDE");
    EXPECT_EQ(store_.GetChar(kCatchScreen, "StartKey", 0), 'A');
}

TEST_F(HotKeysTest, ALetterHeldElsewhereStopsTheRegistrationsThere) {
    keys_.heldElsewhere.insert('P');
    HotKeyOutcome outcome = Apply({"K", "P", "Q", "I", "O"});
    EXPECT_EQ(outcome.result, HotKeyOutcome::Refused);
    EXPECT_EQ(outcome.refusedId, kHotKeyPause);
    EXPECT_EQ(keys_.registered.size(), 1u);
    EXPECT_TRUE(keys_.registered.count(kHotKeyStart));
    EXPECT_EQ(keys_.calls.back(), "register 40982");
    EXPECT_TRUE(boxes_.Calls().empty());
}

TEST_F(HotKeysTest, WithoutADisplayTheLettersAreStillStored) {
    keys_.available = false;
    EXPECT_EQ(Apply({"A", "B", "C", "D", "E"}).result, HotKeyOutcome::Unavailable);
    EXPECT_EQ(Letters(), "ABCDE");
    EXPECT_TRUE(keys_.calls.empty());
}

TEST(HotKeyMessageTest, CarriesIdAndKeyInTheirWords) {
    HotKeyMessage message = MakeHotKeyMessage(kHotKeyZoomIn, MOD_CONTROL, 'I');
    EXPECT_EQ(message.message, WM_HOTKEY);
    EXPECT_EQ(message.wParam, 40984u);
    EXPECT_EQ((message.lParam >> 16) & 0xFFFF, 'I');
    EXPECT_EQ(message.lParam & 0xFFFF, static_cast<LPARAM>(MOD_CONTROL));
}

}  // namespace
