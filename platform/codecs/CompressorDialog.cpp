#include "platform/codecs/CompressorDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <functional>

#include "platform/os/ModalDialog.h"

CompressorDialogParts BuildCompressorDialog(const CompressorInfo& info, const CompressorSettings& settings) {
    auto* dialog = new QDialog;
    dialog->setWindowTitle(QString::fromStdString(info.friendlyName));
    dialog->setObjectName("CompressorDialog");
    auto* form = new QFormLayout(dialog);

    auto* quality = new QSlider(Qt::Horizontal, dialog);
    quality->setObjectName("quality");
    quality->setRange(0, 100);
    quality->setValue(settings.quality / 100);
    quality->setEnabled(info.flags & VIDCF_QUALITY);
    form->addRow("Compression quality:", quality);

    auto* rate = new QSpinBox(dialog);
    rate->setObjectName("bitRate");
    rate->setRange(0, 100000);
    rate->setSuffix(" kbit/s");
    rate->setSpecialValueText("Quality decides");
    rate->setValue(settings.bitRateKbps);
    rate->setEnabled(info.flags & VIDCF_CRUNCH);
    form->addRow("Data rate:", rate);

    auto* keys = new QSpinBox(dialog);
    keys->setObjectName("keyFrames");
    keys->setRange(1, 1000);
    keys->setValue(settings.keyFrameEvery);
    keys->setEnabled(info.flags & VIDCF_TEMPORAL);
    form->addRow("Key frame every (frames):", keys);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    form->addRow(buttons);

    CompressorDialogParts parts;
    parts.dialog = dialog;
    parts.apply = [quality, rate, keys](CompressorSettings& s) {
        s.quality = quality->value() * 100;
        s.bitRateKbps = rate->value();
        s.keyFrameEvery = keys->value();
    };
    return parts;
}

bool RunCompressorDialog(const CompressorInfo& info, CompressorSettings& settings, uint32_t) {
    CompressorDialogParts parts = BuildCompressorDialog(info, settings);
    bool accepted = RunModalDialog(*parts.dialog) == QDialog::Accepted;
    if (accepted) parts.apply(settings);
    delete parts.dialog;
    return accepted;
}
