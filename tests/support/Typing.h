#pragma once

// Text typed into a widget as key presses, the way a user enters it.
// QTest::keyClicks sends Latin-1 only; a Cyrillic letter needs its text in the
// key event, so every character goes as a key click carrying it.

#include <QString>
#include <QtTest>

namespace Typing {

inline void type(QWidget* widget, const QString& text)
{
    for (const QChar ch : text) {
        if (ch.unicode() < 0x80) {
            QTest::keyClicks(widget, QString(ch));
            continue;
        }
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(ch.toUpper().unicode()), QString(ch), Qt::NoModifier);
    }
}

// Selects what the widget holds, types text over it and leaves with Tab (or
// confirms with Enter).
inline void typeOver(QWidget* widget, const QString& text, Qt::Key finish = Qt::Key_Tab)
{
    widget->setFocus();
    QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(widget, Qt::Key_Delete);
    type(widget, text);
    QTest::keyClick(widget, finish);
}

} // namespace Typing
