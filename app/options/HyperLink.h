#pragma once
// A text label that opens its target (a web address or a file) when clicked or when Space is
// pressed while it has the focus. Blue, red under the mouse, teal while pressed or focused,
// purple once visited; a tooltip shows the target.
#include <QLabel>
#include <string>

class HyperLink : public QLabel {
    Q_OBJECT
public:
    explicit HyperLink(QWidget* parent = nullptr);

    // Updates the tooltip too; the label is hidden and shown again around the change.
    void SetURL(const std::string& target);
    const std::string& GetURL() const { return target_; }
    // A label with the link off is plain text: no hand cursor, no opening.
    void SetLink(bool on);
    bool GetLink() const { return link_; }
    void SetVisited(bool visited);
    bool GetVisited() const { return visited_; }
    void SetOptions(unsigned options) { options_ = options; }
    unsigned GetOptions() const { return options_; }

    // Opens the target; on failure beeps and tells the user why. True when it was opened.
    bool Follow();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void UpdateLook();

    std::string target_;
    bool link_ = true;
    bool hover_ = false;
    bool pressed_ = false;
    bool visited_ = false;
    unsigned options_ = 0x15;
};
