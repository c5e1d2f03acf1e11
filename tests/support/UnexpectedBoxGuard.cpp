#include "UnexpectedBoxGuard.h"

#include "ModalAnswerer.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <cstdio>

namespace {

UnexpectedBoxGuard* current = nullptr;

} // namespace

UnexpectedBoxGuard::UnexpectedBoxGuard()
{
    current = this;
    QCoreApplication::instance()->installEventFilter(this);
}

UnexpectedBoxGuard::~UnexpectedBoxGuard()
{
    if (current == this)
        current = nullptr;
}

UnexpectedBoxGuard* UnexpectedBoxGuard::instance()
{
    return current;
}

bool UnexpectedBoxGuard::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* box = qobject_cast<QMessageBox*>(watched);
        if (box && box->isModal() && !ModalAnswerer::isAnyAlive())
            catchBox(box);
    }
    return QObject::eventFilter(watched, event);
}

void UnexpectedBoxGuard::catchBox(QMessageBox* box)
{
    QString text = box->text();
    if (!box->informativeText().isEmpty())
        text += QLatin1Char('\n') + box->informativeText();
    const QString message =
        QStringLiteral("a message box with no ModalAnswerer to answer it: title \"%1\", text \"%2\"")
            .arg(box->windowTitle(), text);
    if (m_failure) {
        m_failure(message);
    } else if (QTest::currentTestFunction()) {
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
    } else {
        std::fprintf(stderr, "UnexpectedBoxGuard: %s\n", qPrintable(message));
        std::fflush(stderr);
        qFatal("UnexpectedBoxGuard: a message box outside any test function");
    }
    // The box is being shown: its own event loop (exec) has not begun yet,
    // and closing it now would leave that loop running on a hidden box.
    const QPointer<QMessageBox> shown = box;
    QTimer::singleShot(0, box, [shown] {
        if (shown)
            shown->done(QDialog::Rejected);
    });
}
