#pragma once
// Key presses and mouse clicks delivered straight to a widget, as a person's input would arrive.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace widget_input {

inline void Key(QWidget* widget, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

inline void Mouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void Press(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseButtonPress, at, Qt::LeftButton); }
inline void Release(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseButtonRelease, at, Qt::NoButton); }
inline void Move(QWidget* widget, QPoint at) { Mouse(widget, QEvent::MouseMove, at, Qt::NoButton); }
inline void Click(QWidget* widget, QPoint at) {
    Press(widget, at);
    Release(widget, at);
}
inline void Click(QWidget* widget) { Click(widget, widget->rect().center()); }

}  // namespace widget_input
