#pragma once
// What the test helper programs print about a widget for a test on an X display to find it:
// "NAME X Y W H", its top-left corner in screen coordinates and its size (ProgramOnX reads it).
#include <QPoint>
#include <QWidget>
#include <cstdio>
#include <string>

namespace testing_support {

inline void PrintRect(const std::string& name, const QWidget* widget) {
    const QPoint at = widget->mapToGlobal(QPoint(0, 0));
    std::printf("%s %d %d %d %d\n", name.c_str(), at.x(), at.y(), widget->width(), widget->height());
    std::fflush(stdout);
}

}  // namespace testing_support
