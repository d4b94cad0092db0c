#pragma once
// The drop-down grid of a ColorButton: 40 colour boxes in 8 columns and 5 rows, with an
// "Automatic" box above and a "More Colors..." box below (each only when its text is not empty).
// The mouse and the arrow keys move the highlight, Enter, Space or a click picks, Escape or a
// click outside cancels. A Qt popup: it holds the mouse and keyboard while it is open.
#include <QWidget>
#include <functional>
#include <optional>

#include "app/options/ColorRef.h"

class ColorPopup : public QWidget {
    Q_OBJECT
public:
    // The "automatic" colour value.
    static constexpr COLORREF kAutomatic = 0xFF000000;
    static constexpr int kColourCount = 40;
    static constexpr int kColumns = 8;
    // Highlight values besides the colour indexes 0..39.
    static constexpr int kNoBox = -1;
    static constexpr int kMoreColorsBox = -2;
    static constexpr int kAutomaticBox = -3;

    static COLORREF ColourValue(int index);
    static const char* ColourName(int index);

    // Asks for any colour, starting from the given one; no value when the user cancelled.
    using ColourChooser = std::function<std::optional<COLORREF>(COLORREF initial, QWidget* parent)>;

    ColorPopup(QPoint topLeft, COLORREF initial, QWidget* parent, const QString& automaticText,
               const QString& moreColorsText);

    int Highlighted() const { return highlighted_; }
    COLORREF CurrentColour() const { return current_; }
    // The box's rectangle in the popup, empty for a box that is absent.
    QRect BoxRect(int box) const;
    // Replaces the "More Colors..." dialog (the Qt colour dialog).
    void SetColourChooser(ColourChooser chooser) { chooser_ = std::move(chooser); }

signals:
    // The highlighted colour changed (mouse or keyboard); "automatic" reads as kAutomatic.
    void SelectionChanged(COLORREF colour);
    // The popup closed: picked with the chosen colour, or cancelled with the colour it opened with.
    void Finished(bool picked, COLORREF colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool event(QEvent* event) override;

private:
    int BoxAt(QPoint point) const;
    void Highlight(int box);
    void Pick(int box);
    void Finish(bool picked, COLORREF colour);
    int Step(int box, int key) const;

    COLORREF initial_;
    COLORREF current_;
    int highlighted_ = kNoBox;
    QString automaticText_;
    QString moreColorsText_;
    int boxSize_;
    int textHeight_;
    bool finished_ = false;
    bool choosing_ = false;
    ColourChooser chooser_;
};
