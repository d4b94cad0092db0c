#include "engine/CrossbarPage.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>
#include <vector>

#include "engine/FormatNames.h"
#include "platform/os/ModalDialog.h"

namespace {

CrossbarPageShow& ShowHook() {
    static CrossbarPageShow hook;
    return hook;
}

// Connector names as the crossbar vocabulary has them, numbered by pin.
QString PinLabel(IAMCrossbar* crossbar, bool input, LONG index) {
    LONG related = -1, type = 0;
    if (FAILED(crossbar->get_CrossbarPinInfo(input ? TRUE : FALSE, index, &related, &type)))
        return QString("%1: ?").arg(index);
    return QString("%1: %2").arg(index).arg(CrossbarConnectorName(type));
}

}  // namespace

CrossbarPageShow SetCrossbarPageShow(CrossbarPageShow show) {
    CrossbarPageShow previous = std::move(ShowHook());
    ShowHook() = std::move(show);
    return previous;
}

HRESULT ShowCrossbarDialog(const std::string& caption, IAMCrossbar* crossbar) {
    if (!crossbar) return E_POINTER;
    LONG outputs = 0, inputs = 0;
    HRESULT hr = crossbar->get_PinCounts(&outputs, &inputs);
    if (FAILED(hr)) return hr;

    QDialog dialog;
    dialog.setObjectName("crossbarPage");
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    std::vector<QComboBox*> choices;
    std::vector<LONG> routedAtStart;
    for (LONG o = 0; o < outputs; ++o) {
        auto* combo = new QComboBox;
        combo->setObjectName(QString("output%1").arg(o));
        combo->addItem("No input", QVariant::fromValue<int>(-1));
        LONG routed = -1;
        if (FAILED(crossbar->get_IsRoutedTo(o, &routed))) routed = -1;
        for (LONG i = 0; i < inputs; ++i)
            if (crossbar->CanRoute(o, i) == S_OK) combo->addItem(PinLabel(crossbar, true, i), QVariant::fromValue<int>(i));
        int current = combo->findData(QVariant::fromValue<int>(routed));
        combo->setCurrentIndex(current < 0 ? 0 : current);
        form->addRow(PinLabel(crossbar, false, o), combo);
        choices.push_back(combo);
        routedAtStart.push_back(routed);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    CrossbarPageShow hook = ShowHook();
    const int answer = hook ? hook(dialog) : RunModalDialog(dialog);
    if (answer != QDialog::Accepted) return S_OK;
    for (size_t o = 0; o < choices.size(); ++o) {
        LONG wanted = choices[o]->currentData().toInt();
        // Untouched outputs keep their route (re-routing could interrupt a running picture).
        if (wanted != routedAtStart[o]) crossbar->Route(static_cast<LONG>(o), wanted);
    }
    return S_OK;
}
