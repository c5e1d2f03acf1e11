#include "PreviewDriver.h"

#include "ModalAnswerer.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>

PreviewDriver::PreviewDriver(ModalAnswerer* answerer, const QString& outputDir, QObject* parent)
    : QObject(parent)
    , m_answerer(answerer)
    , m_outputDir(outputDir)
{
    m_answerer->onDialog([this](QWidget* widget) { return handle(widget); });
}

QStringList PreviewDriver::events() const
{
    return m_events + m_answerer->texts().mid(m_textsTaken);
}

bool PreviewDriver::handle(QWidget* widget)
{
    auto* dialog = qobject_cast<QPrintPreviewDialog*>(widget);
    if (!dialog)
        return false;
    const QStringList texts = m_answerer->texts();
    m_events += texts.mid(m_textsTaken);
    m_textsTaken = texts.size();
    const int index = m_previews++;
    m_events += QStringLiteral("[preview %1]").arg(index);
    // pos() is where move() put the window (its frame), size() its inside.
    m_geometries.append(QRect(dialog->pos(), dialog->size()));
    m_flags.append(dialog->windowFlags());

    if (m_hook)
        m_hook(dialog, index);
    const Action action = m_actions.value(index, m_actions.isEmpty() ? PrintToPdf : m_actions.last());
    // The answerer's timer is inside its slot now; printing may ask questions
    // and closing opens the next sheet's prompt, which that same timer must
    // be free to answer. So the work is done from the dialog's event loop.
    const QPointer<QPrintPreviewDialog> guarded(dialog);
    QTimer::singleShot(0, dialog, [this, guarded, action, index] {
        if (guarded)
            act(guarded, action, index);
    });
    return true;
}

void PreviewDriver::act(QPrintPreviewDialog* dialog, Action action, int index)
{
    if (action == Leave)
        return;
    if (action == Close) {
        dialog->reject();
        return;
    }
    QPrinter* printer = dialog->printer();
    const QString file = m_pdfFileName.isEmpty() ? QDir(m_outputDir).filePath(QStringLiteral("sheet-%1.pdf").arg(index))
                                                 : m_pdfFileName;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(file);
    const QPointer<QPrintPreviewDialog> guarded(dialog);
    if (auto* preview = dialog->findChild<QPrintPreviewWidget*>())
        preview->print();
    m_pdfFiles.append(file);
    if (guarded && guarded->isVisible())
        guarded->accept();
}

QList<QPrintPreviewDialog*> PreviewDriver::remainingPreviews()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    QList<QPrintPreviewDialog*> result;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget* widget : widgets) {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(widget))
            result.append(dialog);
    }
    return result;
}
