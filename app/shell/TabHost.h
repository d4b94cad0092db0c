#pragma once
// The main window's tab control: one tab per page, each page a child window created once and
// kept. Switching tabs hides the old page (remembering which of its windows had the focus) and
// shows the new one in the page area with its focus given back.
#include <QPointer>
#include <QTabBar>
#include <QWidget>
#include <vector>

class TabHost : public QWidget {
    Q_OBJECT
public:
    explicit TabHost(QWidget* parent = nullptr);

    // Appends a tab with the title; re-parents the page into the tab control and sizes it to
    // the page area. The first page added is shown.
    void AddPage(const QString& title, int tag, QWidget* page);

    int Count() const { return static_cast<int>(pages_.size()); }
    QWidget* Page(int index) const;
    int Tag(int index) const;
    int CurrentIndex() const { return current_; }
    void SetCurrentIndex(int index);
    QTabBar* Tabs() const { return tabs_; }
    // The client rectangle less 4 pixels on each side and less the tab row on its side.
    QRect PageArea() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Entry {
        QWidget* page;
        int tag;
        QPointer<QWidget> focus;
    };

    void OnSelectionChanged(int index);
    void LayoutTabs();

    QTabBar* tabs_;
    std::vector<Entry> pages_;
    int current_ = -1;
};
