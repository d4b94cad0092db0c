#pragma once
// A page of the main window that so far shows only its title.
#include <QWidget>

class TitlePage : public QWidget {
    Q_OBJECT
public:
    explicit TitlePage(const QString& title, QWidget* parent = nullptr);
    QString Title() const { return title_; }

private:
    QString title_;
};
