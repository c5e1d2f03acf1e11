#pragma once

// A form's widgets and actions reached by object name. A missing one stops the
// test at once, naming it, rather than crashing later on a null pointer.

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QStringList>
#include <QTest>

namespace FormWidgets {

template <typename T>
T* child(const QObject* parent, const char* name)
{
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", T::staticMetaObject.className(), name);
    return found;
}

inline QLineEdit* edit(const QObject* parent, const char* name) { return child<QLineEdit>(parent, name); }
inline QAbstractButton* button(const QObject* parent, const char* name) { return child<QAbstractButton>(parent, name); }

// One letter per widget: upper case when shown, lower case when hidden, "-"
// after it when disabled. "Sa-" reads "S shown, a hidden and disabled".
inline QString states(const QObject* parent, std::initializer_list<std::pair<char, const char*>> widgets)
{
    QString flags;
    for (const auto& [letter, name] : widgets) {
        const QWidget* widget = child<QWidget>(parent, name);
        flags += widget->isHidden() ? QChar(letter).toLower() : QChar(letter).toUpper();
        if (!widget->isEnabled())
            flags += QLatin1Char('-');
    }
    return flags;
}

// Texts of a menu's or tool bar's actions, separators as "—".
inline QStringList actionTexts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts.append(action->isSeparator() ? QStringLiteral("—") : action->text());
    return texts;
}

} // namespace FormWidgets
