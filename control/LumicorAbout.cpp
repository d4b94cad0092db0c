#include "control/LumicorAbout.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/os/DialogUnits.h"
#include "platform/os/ModalDialog.h"

namespace {

LumicorAboutRun& RunHook() {
    static LumicorAboutRun run;
    return run;
}

QLabel* AddLine(QVBoxLayout* layout, const QString& text, const char* name) {
    auto* label = new QLabel(text);
    label->setObjectName(QString::fromLatin1(name));
    layout->addWidget(label);
    return label;
}

}  // namespace

QImage LumicorIconImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    // Body, viewfinder bump, lens and the recording light.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x40, 0x40, 0x48));
    painter.drawRoundedRect(QRectF(1 * unit, 4 * unit, 14 * unit, 10 * unit), unit, unit);
    painter.drawRect(QRectF(4 * unit, 2 * unit, 5 * unit, 2 * unit));
    painter.setBrush(QColor(0xC8, 0xC8, 0xD0));
    painter.drawEllipse(QRectF(4 * unit, 6 * unit, 7 * unit, 7 * unit));
    painter.setBrush(QColor(0x20, 0x50, 0xB0));
    painter.drawEllipse(QRectF(5.5 * unit, 7.5 * unit, 4 * unit, 4 * unit));
    painter.setBrush(QColor(0xE0, 0x20, 0x20));
    painter.drawEllipse(QRectF(12 * unit, 5 * unit, 2 * unit, 2 * unit));
    return image;
}

void ShowLumicorAboutBox(QWidget* parent) {
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("LumicorAbout"));
    dialog.setWindowTitle(QStringLiteral("About Lumicor Control"));
    dialog.setModal(true);

    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("icon"));
    icon->setPixmap(QPixmap::fromImage(LumicorIconImage(32)));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* lines = new QVBoxLayout;
    AddLine(lines, QStringLiteral("Lumicor Live Control, Version 2.0"), "product");
    AddLine(lines, QStringLiteral("Live preview, recording, snapshots and broadcast for any container."),
            "purpose");
    AddLine(lines, QStringLiteral("Part of the Orvanta capture suite."), "suite");
    lines->addStretch();

    auto* ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(&dialog);
    layout->addWidget(icon);
    layout->addLayout(lines, 1);
    layout->addLayout(buttons);
    // At least the template's 260 by 65 dialog units; longer lines in a larger font may widen it.
    dialog.setMinimumSize(DialogUnitsToPixels(260, 65, dialog.font()));

    if (const LumicorAboutRun& run = RunHook()) {
        run(dialog);
    } else {
        RunModalDialog(dialog);
    }
}

LumicorAboutRun SetLumicorAboutRun(LumicorAboutRun run) {
    LumicorAboutRun previous = std::move(RunHook());
    RunHook() = std::move(run);
    return previous;
}
