// The Screen Recorder page, its region selector or one of its output dialogs on a real X display,
// for the tests that drive them with xdotool and for a person to look at:
// `orvanta_screen_show DIST page [X Y] | region | wmv | avi | mp3 | swf | flv`. The screen capture
// control comes from DIST's system folder, registered in the registry store in force.
//
// It prints one line per fact, so the test knows where to point and what happened: the widgets'
// screen rectangles once shown ("plus X Y W H"), every change of the capture area ("area L T W H"),
// of window picking ("picking 1", "outline 1") and of an open region selector ("selector 1",
// "hasrect 1"), how a dialog ended ("ended 1"), and any label or
// button that its window shows cut short, overlapping another or outside the window ("layout ...").
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/options/FlashOutputDialog.h"
#include "app/options/Mp3QualityDialog.h"
#include "app/options/ScreenAviDialog.h"
#include "app/outside/CScreen2Video.h"
#include "app/pages/RegionSelector.h"
#include "app/pages/ScreenRecorderPage.h"
#include "app/pages/ScreenWmvDialog.h"
#include "app/pages/WindowPicker.h"
#include "app/shell/ConfigSections.h"
#include "platform/os/ModalDialog.h"
#include "tests/support/ModuleRegistration.h"
#include "tests/support/WidgetRect.h"

namespace {

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string Numbers(const QRect& r) {
    return std::to_string(r.x()) + " " + std::to_string(r.y()) + " " + std::to_string(r.width()) + " " +
           std::to_string(r.height());
}

using testing_support::PrintRect;

bool Register(const std::string& file) {
    const std::string error = testing_support::RegisterModuleFile(file);
    if (!error.empty()) std::fprintf(stderr, "cannot register %s\n", error.c_str());
    return error.empty();
}

std::string Describe(const QWidget* w) {
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(w)) text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(w)) text = button->text();
    return std::string(w->metaObject()->className()) + " '" + text.toStdString() + "'";
}

// What a person would see wrong in `window`: a label or button smaller than it needs to show its
// text, one lying partly outside the window, and two of them covering each other.
void CheckLayout(const QWidget* window) {
    std::vector<std::pair<const QWidget*, QRect>> shown;
    for (const QWidget* w : window->findChildren<QWidget*>()) {
        const bool text = qobject_cast<const QLabel*>(w) || qobject_cast<const QAbstractButton*>(w);
        const bool field = qobject_cast<const QComboBox*>(w) || qobject_cast<const QLineEdit*>(w);
        if ((!text && !field) || !w->isVisibleTo(window)) continue;
        // The parts of a list or an edit are theirs to arrange.
        if (qobject_cast<const QComboBox*>(w->parentWidget())) continue;
        const QRect at(w->mapTo(window, QPoint(0, 0)), w->size());
        const QSize need = w->minimumSizeHint();
        const auto* label = qobject_cast<const QLabel*>(w);
        const bool wraps = label && label->wordWrap();
        const bool shortWidth = text && !wraps && w->width() < need.width();
        const bool shortHeight = wraps ? w->height() < label->heightForWidth(w->width()) : w->height() < need.height();
        if (shortWidth || shortHeight)
            Say("layout clipped " + Describe(w) + " " + Numbers(at) + " needs " + std::to_string(need.width()) + "x" +
                std::to_string(wraps ? label->heightForWidth(w->width()) : need.height()));
        if (!window->rect().contains(at)) Say("layout outside " + Describe(w) + " " + Numbers(at));
        for (const auto& [other, otherAt] : shown)
            if (at.intersects(otherAt)) Say("layout overlap " + Describe(w) + " " + Describe(other));
        shown.emplace_back(w, at);
    }
    const QRect screen = window->screen()->geometry();
    if (!screen.contains(window->frameGeometry())) Say("layout off-screen " + Numbers(window->frameGeometry()));
}

// Prints a line whenever what `read` gives changes.
class Watch {
public:
    Watch(std::string name, std::function<std::string()> read) : name_(std::move(name)), read_(std::move(read)) {}
    void Poll() {
        std::string now = read_();
        if (now == last_) return;
        last_ = now;
        Say(name_ + " " + now);
    }

private:
    std::string name_;
    std::function<std::string()> read_;
    std::string last_;
};

RegionSelector* OpenSelector() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* selector = qobject_cast<RegionSelector*>(w); selector && selector->isVisible()) return selector;
    return nullptr;
}

std::vector<Watch> SelectorWatches() {
    return {Watch("selector", [] { return std::string(OpenSelector() ? "1" : "0"); }),
            Watch("hasrect", [] {
                RegionSelector* s = OpenSelector();
                return std::string(s && s->HasRect() ? "1" : "0");
            })};
}

int ShowPage(const std::string& dist, int x, int y) {
    ScreenRecorderPage::Services services;
    services.programFolder = dist;
    ScreenRecorderPage page(std::move(services));
    page.setWindowTitle(QStringLiteral("Screen Recorder"));
    page.move(x, y);
    page.show();
    std::vector<Watch> watches = SelectorWatches();
    watches.emplace_back("area", [&page] {
        const CaptureArea a = page.Area();
        return Numbers(QRect(a.left, a.top, a.width, a.height));
    });
    watches.emplace_back("picking", [&page] { return std::string(page.Picker()->Picking() ? "1" : "0"); });
    watches.emplace_back("outline", [&page] { return std::string(page.Picker()->OutlineShown() ? "1" : "0"); });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&watches] {
        for (Watch& w : watches) w.Poll();
    });
    QTimer::singleShot(500, &page, [&] {
        PrintRect("page", &page);
        PrintRect("plus", page.PlusIcon());
        PrintRect("cut", page.CutIcon());
        PrintRect("capture", page.CaptureButton());
        CheckLayout(&page);
        poll.start(20);
        Say("shown page");
    });
    return QApplication::exec();
}

// The Cut icon's selector of a page that stays hidden, so the frozen screen holds none of ours.
int ShowSelector(const std::string& dist) {
    ScreenRecorderPage::Services services;
    services.programFolder = dist;
    ScreenRecorderPage page(std::move(services));
    std::vector<Watch> watches = SelectorWatches();
    watches.emplace_back("area", [&page] {
        const CaptureArea a = page.Area();
        return Numbers(QRect(a.left, a.top, a.width, a.height));
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&watches] {
        for (Watch& w : watches) w.Poll();
    });
    poll.start(20);
    page.OnCutIcon();
    QTimer::singleShot(400, [] {
        if (RegionSelector* s = OpenSelector()) Say("shown selector " + std::to_string(s->devicePixelRatioF()));
    });
    return QApplication::exec();
}

int ShowDialog(const std::string& dist, const std::string& what) {
    QWidget host;
    host.setFixedSize(1, 1);
    CScreen2Video control;
    std::unique_ptr<QDialog> dialog;
    if (what == "wmv") {
        if (FAILED(control.Create(&host))) return 1;
        dialog = std::make_unique<ScreenWmvDialog>(control.WMVProfiles().Names(), dist, ScreenWmvChoice());
    } else if (what == "avi") {
        dialog = std::make_unique<ScreenAviDialog>(ScreenAviOptions());
    } else if (what == "mp3") {
        dialog = std::make_unique<Mp3QualityDialog>(ScreenAviOptions());
    } else if (what == "swf") {
        dialog = std::make_unique<FlashOutputDialog>(kSwfDialogTitle, kSwfKeys, ScreenSwfChoice());
    } else if (what == "flv") {
        dialog = std::make_unique<FlashOutputDialog>(kFlvDialogTitle, kFlvKeys, ScreenFlvOptions());
    } else {
        std::fprintf(stderr, "no such dialog: %s\n", what.c_str());
        return 2;
    }
    dialog->move(40, 40);
    QTimer::singleShot(500, dialog.get(), [&dialog, &what] {
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("Cancel")) PrintRect("cancel", button);
        CheckLayout(dialog.get());
        Say("shown " + what);
    });
    Say("ended " + std::to_string(RunModalDialog(*dialog)));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: orvanta_screen_show DIST page [X Y] | region | wmv | avi | mp3 | swf | flv\n");
        return 2;
    }
    const std::string dist = argv[1], what = argv[2];
    for (const char* module : {"Pavisse.so", "Scrivel.so"})
        if (!Register(dist + "/system/" + module)) return 1;
    if (what == "page") return ShowPage(dist, argc > 4 ? std::atoi(argv[3]) : 0, argc > 4 ? std::atoi(argv[4]) : 0);
    if (what == "region") return ShowSelector(dist);
    return ShowDialog(dist, what);
}
