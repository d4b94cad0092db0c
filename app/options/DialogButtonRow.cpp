#include "app/options/DialogButtonRow.h"

#include <QBoxLayout>
#include <QDialog>
#include <QPushButton>

void AddDialogButtonRow(QDialog* dialog, QBoxLayout* layout, const QString& confirmText, std::function<bool()> confirm) {
    auto* ok = new QPushButton(confirmText);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"));
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    QObject::connect(ok, &QPushButton::clicked, dialog, [dialog, confirm = std::move(confirm)] {
        if (confirm()) dialog->accept();
    });
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}
