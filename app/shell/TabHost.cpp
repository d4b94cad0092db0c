#include "app/shell/TabHost.h"

#include <QApplication>
#include <QResizeEvent>

namespace {

bool IsVertical(QTabBar::Shape shape) {
    switch (shape) {
        case QTabBar::RoundedWest:
        case QTabBar::RoundedEast:
        case QTabBar::TriangularWest:
        case QTabBar::TriangularEast:
            return true;
        default:
            return false;
    }
}

bool IsBottom(QTabBar::Shape shape) {
    return shape == QTabBar::RoundedSouth || shape == QTabBar::TriangularSouth;
}

bool IsRight(QTabBar::Shape shape) {
    return shape == QTabBar::RoundedEast || shape == QTabBar::TriangularEast;
}

}  // namespace

TabHost::TabHost(QWidget* parent) : QWidget(parent), tabs_(new QTabBar(this)) {
    tabs_->setDrawBase(true);
    connect(tabs_, &QTabBar::currentChanged, this, &TabHost::OnSelectionChanged);
}

QWidget* TabHost::Page(int index) const {
    return index >= 0 && index < Count() ? pages_[static_cast<size_t>(index)].page : nullptr;
}

int TabHost::Tag(int index) const {
    return index >= 0 && index < Count() ? pages_[static_cast<size_t>(index)].tag : -1;
}

void TabHost::SetCurrentIndex(int index) { tabs_->setCurrentIndex(index); }

void TabHost::AddPage(const QString& title, int tag, QWidget* page) {
    page->setParent(this);
    page->hide();
    pages_.push_back({page, tag, {}});
    // Adding the first tab makes it current, which shows its page.
    tabs_->addTab(title);
    LayoutTabs();
    page->setGeometry(PageArea());
    if (Count() == 1 && current_ != 0) OnSelectionChanged(0);
}

QRect TabHost::PageArea() const {
    QRect area = rect().adjusted(4, 4, -4, -4);
    const QTabBar::Shape shape = tabs_->shape();
    // One row of tabs: a tab bar does not wrap.
    const QSize row = tabs_->sizeHint();
    if (IsVertical(shape)) {
        if (IsRight(shape)) area.setRight(area.right() - row.width());
        else area.setLeft(area.left() + row.width());
    } else if (IsBottom(shape)) {
        area.setBottom(area.bottom() - row.height());
    } else {
        area.setTop(area.top() + row.height());
    }
    return area;
}

void TabHost::LayoutTabs() {
    const QSize row = tabs_->sizeHint();
    const QTabBar::Shape shape = tabs_->shape();
    if (IsVertical(shape)) {
        int x = IsRight(shape) ? width() - row.width() : 0;
        tabs_->setGeometry(x, 0, row.width(), height());
    } else {
        int y = IsBottom(shape) ? height() - row.height() : 0;
        tabs_->setGeometry(0, y, width(), row.height());
    }
}

void TabHost::OnSelectionChanged(int index) {
    if (index == current_) return;
    // Selection changing: keep the focus of the page being left, then hide it.
    if (QWidget* old = Page(current_)) {
        Entry& entry = pages_[static_cast<size_t>(current_)];
        QWidget* focus = QApplication::focusWidget();
        if (focus && old->isAncestorOf(focus)) entry.focus = focus;
        old->hide();
    }
    current_ = index;
    // Selection changed: size and show the new page, and give its focus back.
    if (QWidget* page = Page(index)) {
        page->setGeometry(PageArea());
        page->show();
        if (QWidget* focus = pages_[static_cast<size_t>(index)].focus) focus->setFocus();
    }
}

void TabHost::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutTabs();
    if (QWidget* page = Page(current_)) page->setGeometry(PageArea());
}
