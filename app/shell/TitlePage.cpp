#include "app/shell/TitlePage.h"

#include <QLabel>
#include <QVBoxLayout>

TitlePage::TitlePage(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
    setObjectName(title);
    auto* label = new QLabel(title, this);
    label->setAlignment(Qt::AlignCenter);
    QFont big = label->font();
    big.setPointSize(big.pointSize() + 4);
    big.setBold(true);
    label->setFont(big);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
}
