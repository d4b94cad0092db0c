#pragma once
// A push button showing a colour swatch and a drop-down arrow; a click opens a ColorPopup under
// it. The button tells its parent what happens through Notify(message, colour, control id) with
// the message numbers below, in this order: CPN_DROPDOWN when the grid opens, CPN_SELCHANGE while
// the highlight moves, then CPN_CLOSEUP and either CPN_SELENDOK (followed by CPN_SELCHANGE when
// the picked colour differs from the one before) or CPN_SELENDCANCEL.
#include <QPointer>
#include <QPushButton>

#include "app/options/ColorPopup.h"

inline constexpr unsigned CPN_SELCHANGE = 2025;
inline constexpr unsigned CPN_DROPDOWN = 2026;
inline constexpr unsigned CPN_CLOSEUP = 2027;
inline constexpr unsigned CPN_SELENDOK = 2028;
inline constexpr unsigned CPN_SELENDCANCEL = 2029;

class ColorButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr COLORREF kAutomatic = ColorPopup::kAutomatic;

    explicit ColorButton(QWidget* parent = nullptr);

    // kAutomatic for "automatic"; redraws at once.
    void SetColour(COLORREF colour);
    COLORREF GetColour() const { return colour_; }
    // The colour drawn for "automatic": the style's workspace colour unless set.
    void SetDefaultColour(COLORREF colour);
    COLORREF GetDefaultColour() const { return defaultColour_; }
    // Texts of the grid's two extra boxes; an empty text leaves its box out.
    void SetDefaultText(const QString& text) { defaultText_ = text; }
    void SetCustomText(const QString& text) { customText_ = text; }
    // With track-selection on, the button shows the colour under the mouse while the grid is open.
    void SetTrackSelection(bool on) { trackSelection_ = on; }
    bool GetTrackSelection() const { return trackSelection_; }
    // The identifier the notifications carry.
    void SetControlId(int id) { controlId_ = id; }
    int ControlId() const { return controlId_; }

    bool IsOpen() const { return popup_ != nullptr; }
    // The open grid, or null.
    ColorPopup* Popup() const { return popup_; }
    // Used by the grid's "More Colors..." box; the Qt colour dialog unless set.
    void SetColourChooser(ColorPopup::ColourChooser chooser) { chooser_ = std::move(chooser); }

signals:
    void Notify(unsigned message, COLORREF colour, int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Open();
    void OnSelectionChanged(COLORREF colour);
    void OnFinished(bool picked, COLORREF colour);

    COLORREF colour_ = kAutomatic;
    COLORREF defaultColour_;
    COLORREF colourBeforeOpening_ = kAutomatic;
    QString defaultText_ = QStringLiteral("Automatic");
    QString customText_ = QStringLiteral("More Colors...");
    bool trackSelection_ = false;
    int controlId_ = 0;
    QPointer<ColorPopup> popup_;
    ColorPopup::ColourChooser chooser_;
};
