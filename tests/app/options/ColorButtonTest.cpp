// The colour button and its grid, driven offscreen through their widgets: the order and content
// of the notifications, the keyboard, the mouse, "Automatic" and "More Colors...".
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QImage>
#include <tuple>

#include "app/options/ColorButton.h"
#include "tests/app/options/WidgetInput.h"

using namespace widget_input;
using testing::ElementsAre;

namespace {

using Note = std::tuple<unsigned, COLORREF, int>;

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kLightOrange = 0x5BADFF;
constexpr COLORREF kGold = 0x00D7FF;
constexpr COLORREF kBlue = 0xFF0000;

class ColorButtonTest : public testing::Test {
protected:
    void SetUp() override {
        button_.resize(60, 24);
        button_.SetControlId(1042);
        button_.SetColour(kRed);
        QObject::connect(&button_, &ColorButton::Notify,
                         [this](unsigned message, COLORREF colour, int id) { notes_.emplace_back(message, colour, id); });
    }
    ColorPopup* Open() {
        Click(&button_);
        return button_.Popup();
    }
    void Keys(std::initializer_list<int> keys) {
        for (int key : keys) Key(button_.Popup(), key);
    }

    ColorButton button_;
    std::vector<Note> notes_;
};

TEST_F(ColorButtonTest, KeyboardMovesThroughTheGridAndEnterPicks) {
    ColorPopup* popup = Open();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(button_.IsOpen());
    EXPECT_EQ(popup->Highlighted(), 16) << "the grid opens on the button's colour";
    Keys({Qt::Key_Right, Qt::Key_Down});
    EXPECT_EQ(popup->Highlighted(), 25);
    EXPECT_EQ(button_.GetColour(), kRed) << "track-selection is off by default";
    Keys({Qt::Key_Return});
    EXPECT_FALSE(button_.IsOpen());
    EXPECT_EQ(button_.GetColour(), kGold);
    EXPECT_THAT(notes_, ElementsAre(Note{CPN_DROPDOWN, kRed, 1042}, Note{CPN_SELCHANGE, kLightOrange, 1042},
                                    Note{CPN_SELCHANGE, kGold, 1042}, Note{CPN_CLOSEUP, kGold, 1042},
                                    Note{CPN_SELENDOK, kGold, 1042}, Note{CPN_SELCHANGE, kGold, 1042}));

    notes_.clear();
    Open();
    Keys({Qt::Key_Space});
    EXPECT_THAT(notes_, ElementsAre(Note{CPN_DROPDOWN, kGold, 1042}, Note{CPN_CLOSEUP, kGold, 1042},
                                    Note{CPN_SELENDOK, kGold, 1042}))
        << "picking the colour it already had sends no change";
}

TEST_F(ColorButtonTest, EscapeRestoresTheColourEvenAfterTrackingOtherColours) {
    button_.SetTrackSelection(true);
    Open();
    Keys({Qt::Key_Left, Qt::Key_Up});
    EXPECT_EQ(button_.GetColour(), ColorPopup::ColourValue(7)) << "16, left to 15, up to 7";
    Keys({Qt::Key_Escape});
    EXPECT_FALSE(button_.IsOpen());
    EXPECT_EQ(button_.GetColour(), kRed);
    ASSERT_GE(notes_.size(), 2u);
    EXPECT_EQ(notes_[notes_.size() - 2], (Note{CPN_CLOSEUP, kRed, 1042}));
    EXPECT_EQ(notes_.back(), (Note{CPN_SELENDCANCEL, kRed, 1042}));
}

TEST_F(ColorButtonTest, AutomaticLiesBeforeTheFirstRowAndMoreColorsAfterTheLast) {
    ColorPopup* popup = Open();
    Keys({Qt::Key_Up, Qt::Key_Up, Qt::Key_Up});
    EXPECT_EQ(popup->Highlighted(), ColorPopup::kAutomaticBox) << "from row 2 up to row 0, then Automatic";
    EXPECT_EQ(std::get<1>(notes_.back()), ColorButton::kAutomatic);
    Keys({Qt::Key_Left});
    EXPECT_EQ(popup->Highlighted(), ColorPopup::kMoreColorsBox) << "Left from the first box wraps to the last";
    Keys({Qt::Key_Up});
    EXPECT_EQ(popup->Highlighted(), 32);
    Keys({Qt::Key_Down});
    EXPECT_EQ(popup->Highlighted(), ColorPopup::kMoreColorsBox);
    Keys({Qt::Key_Down, Qt::Key_Down});
    EXPECT_EQ(popup->Highlighted(), 0) << "Down wraps from More Colors to Automatic, then the first row";
    Keys({Qt::Key_Up, Qt::Key_Return});
    EXPECT_EQ(button_.GetColour(), 0xFF000000u);

    // "Automatic" is drawn with the workspace colour.
    button_.SetDefaultColour(0x123456);
    QImage picture = button_.grab().toImage();
    EXPECT_EQ(picture.pixelColor(12, 12), ToQColor(0x123456));
    EXPECT_EQ(button_.GetColour(), ColorButton::kAutomatic);
}

TEST_F(ColorButtonTest, WithoutTheTextBoxesTheGridIsColoursOnly) {
    button_.SetDefaultText({});
    button_.SetCustomText({});
    ColorPopup* popup = Open();
    EXPECT_TRUE(popup->BoxRect(ColorPopup::kAutomaticBox).isEmpty());
    EXPECT_TRUE(popup->BoxRect(ColorPopup::kMoreColorsBox).isEmpty());
    EXPECT_EQ(popup->BoxRect(0).top(), 4);
    EXPECT_EQ(popup->BoxRect(39).bottom() + 1 + 4, popup->height());
    Keys({Qt::Key_Up, Qt::Key_Up, Qt::Key_Up});
    EXPECT_EQ(popup->Highlighted(), 32) << "row 0 wraps to the bottom row";
    Keys({Qt::Key_Right});
    EXPECT_EQ(popup->Highlighted(), 33);
}

TEST_F(ColorButtonTest, MouseHighlightsPicksAndCancelsOutside) {
    button_.SetTrackSelection(true);
    ColorPopup* popup = Open();
    Move(popup, popup->BoxRect(13).center());
    EXPECT_EQ(notes_.back(), (Note{CPN_SELCHANGE, kBlue, 1042}));
    EXPECT_EQ(button_.GetColour(), kBlue);
    Click(popup, popup->BoxRect(13).center());
    EXPECT_EQ(button_.GetColour(), kBlue);
    EXPECT_EQ(std::get<0>(notes_[notes_.size() - 2]), CPN_SELENDOK);

    popup = Open();
    Move(popup, popup->BoxRect(0).center());
    Release(popup, QPoint(-20, -20));
    EXPECT_FALSE(button_.IsOpen());
    EXPECT_EQ(button_.GetColour(), kBlue);
    EXPECT_EQ(notes_.back(), (Note{CPN_SELENDCANCEL, kBlue, 1042}));
}

TEST_F(ColorButtonTest, MoreColorsAsksForAnyColourStartingFromTheCurrentOne) {
    std::vector<COLORREF> asked;
    std::optional<COLORREF> answer = 0x010203;
    button_.SetColourChooser([&](COLORREF initial, QWidget*) {
        asked.push_back(initial);
        return answer;
    });
    ColorPopup* popup = Open();
    Click(popup, popup->BoxRect(ColorPopup::kMoreColorsBox).center());
    EXPECT_THAT(asked, ElementsAre(kRed));
    EXPECT_EQ(button_.GetColour(), 0x010203u);
    EXPECT_EQ(notes_.back(), (Note{CPN_SELCHANGE, 0x010203, 1042}));

    answer.reset();
    Open();
    // A colour outside the table highlights nothing: the first arrow goes to the first colour.
    Keys({Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(button_.GetColour(), 0x010203u);
    EXPECT_EQ(notes_.back(), (Note{CPN_SELENDCANCEL, 0x010203, 1042}));
}

TEST_F(ColorButtonTest, TheQtColourDialogWithNobodyToAnswerCancels) {
    ColorPopup* popup = Open();
    Click(popup, popup->BoxRect(ColorPopup::kMoreColorsBox).center());
    EXPECT_FALSE(button_.IsOpen());
    EXPECT_EQ(button_.GetColour(), kRed);
    EXPECT_EQ(notes_.back(), (Note{CPN_SELENDCANCEL, kRed, 1042}));
}

TEST(ColorTable, FortyNamedColoursInTheirOrder) {
    EXPECT_STREQ(ColorPopup::ColourName(0), "Black");
    EXPECT_STREQ(ColorPopup::ColourName(35), "Pale green ");
    EXPECT_EQ(ColorPopup::ColourValue(37), 0x8B8368u);
    EXPECT_STREQ(ColorPopup::ColourName(ColorPopup::kColourCount - 1), "White");
    EXPECT_EQ(ColorPopup::ColourValue(39), 0xFFFFFFu);
}

}  // namespace
