// A small dialog holding the option dialogs' widgets, for the tests that drive them on a real X
// display: a colour button, a hyperlink to argv[1] and, at start, a balloon tip pointing at the
// button. It prints the widgets' screen rectangles once shown and every colour notification, one
// line each, so the test knows where to click and what happened.
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>

#include "app/options/BalloonTip.h"
#include "app/options/ColorButton.h"
#include "app/options/HyperLink.h"
#include "tests/support/WidgetRect.h"

namespace {

using testing_support::PrintRect;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Orvanta widgets");
    auto* layout = new QVBoxLayout(&dialog);
    auto* button = new ColorButton(&dialog);
    button->setFixedSize(80, 26);
    button->SetControlId(1042);
    button->SetColour(0x0000FF);
    auto* link = new HyperLink(&dialog);
    link->setText("Visit our homepage");
    link->SetURL(argc > 1 ? argv[1] : "http://127.0.0.1/");
    layout->addWidget(button);
    layout->addWidget(link);
    layout->addSpacing(120);
    QObject::connect(button, &ColorButton::Notify, [](unsigned message, COLORREF colour, int id) {
        std::printf("notify %u 0x%06X %d\n", message, colour, id);
        std::fflush(stdout);
    });
    QObject::connect(button, &ColorButton::Notify, [button](unsigned message, COLORREF, int) {
        if (message == CPN_DROPDOWN) QTimer::singleShot(200, [button] {
            if (button->Popup()) PrintRect("popup", button->Popup());
        });
    });
    dialog.move(100, 100);
    dialog.resize(320, 240);
    dialog.show();
    QTimer::singleShot(500, [&] {
        BalloonTip::Show("Hint", "Pick the colour of the text.", button->mapToGlobal(button->rect().center()),
                         BalloonIcon::Information, kBalloonPageOptions, &dialog, {}, 0);
        PrintRect("button", button);
        PrintRect("link", link);
    });
    // The number of open balloons, printed whenever it changes.
    QTimer balloons;
    int lastCount = -1;
    QObject::connect(&balloons, &QTimer::timeout, [&lastCount] {
        if (BalloonTip::OpenCount() == lastCount) return;
        lastCount = BalloonTip::OpenCount();
        std::printf("balloons %d\n", lastCount);
        std::fflush(stdout);
    });
    QTimer::singleShot(600, [&balloons] { balloons.start(50); });
    return app.exec();
}
