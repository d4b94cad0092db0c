// The skin library's exported entries. The program knows them by ordinal (its own table maps
// ordinal 3 to WyvernLoadSkin, 37 to WyvernExcludeWindow and 2 to WyvernShutdown).
//
// A skin file is a Qt style sheet. Excluding a window marks it with the dynamic property
// "skinExcluded"; the skin's own rules for [skinExcluded="true"] give such windows back the
// plain look.
#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QStyle>
#include <QWidget>
#include <vector>

#define WYVERN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::vector<QPointer<QWidget>>& Excluded() {
    static std::vector<QPointer<QWidget>> windows;
    return windows;
}

void Repolish(QWidget* window) {
    window->style()->unpolish(window);
    window->style()->polish(window);
    window->update();
}

}  // namespace

// Ordinal 3: loads the skin file and applies it to the application. 1 on success, 0 when there
// is no application or the file cannot be read.
WYVERN_EXPORT int WyvernLoadSkin(const char* path, int /*flags*/) {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app || !path) return 0;
    QFile file(QString::fromUtf8(path));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return 0;
    app->setStyleSheet(QString::fromUtf8(file.readAll()));
    return 1;
}

// Ordinal 37: exclude (1) or include again (0) one window.
WYVERN_EXPORT int WyvernExcludeWindow(QWidget* window, int exclude) {
    if (!window) return 0;
    window->setProperty("skinExcluded", exclude != 0);
    if (exclude) Excluded().emplace_back(window);
    Repolish(window);
    return 1;
}

// Ordinal 2: takes the skin off again.
WYVERN_EXPORT void WyvernShutdown() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(QString());
    for (QPointer<QWidget>& window : Excluded()) {
        if (window) window->setProperty("skinExcluded", QVariant());
    }
    Excluded().clear();
}
