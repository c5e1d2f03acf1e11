#pragma once

#include "PdfFile.h"

#include <QList>
#include <QObject>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class ModalAnswerer;
class QPrintPreviewDialog;

// Stands in for the person in front of the print previews of a print run:
// through a ModalAnswerer it finds every QPrintPreviewDialog that opens,
// prints its sheet into a PDF file of its own (or just closes it, or leaves
// it alone) and keeps, in one list, the texts of the message boxes the
// answerer answered and a "[preview N]" mark for every preview, in the
// order they came.
class PreviewDriver : public QObject
{
    Q_OBJECT

public:
    enum Action {
        PrintToPdf,   // print the sheet into outputDir/sheet-N.pdf, then accept
        Close,        // reject without printing
        Leave         // do nothing: someone else closes it
    };

    PreviewDriver(ModalAnswerer* answerer, const QString& outputDir, QObject* parent = nullptr);

    // The action for every preview from now on; setActions gives one per
    // preview in order (the last one repeats).
    void setAction(Action action) { m_actions = {action}; }
    void setActions(const QList<Action>& actions) { m_actions = actions; }

    // Called for every preview when it is found, before its action is
    // scheduled (index counts the previews from 0).
    void setOnPreview(const std::function<void(QPrintPreviewDialog*, int)>& hook) { m_hook = hook; }
    // Prints into this file instead of outputDir/sheet-N.pdf (empty: back to those).
    void setPdfFileName(const QString& path) { m_pdfFileName = path; }

    // Box texts and preview marks in order.
    QStringList events() const;
    int previewCount() const { return m_previews; }
    // PDF files written, one per printed preview, in order.
    QStringList pdfFiles() const { return m_pdfFiles; }
    // Position (of the window frame) and size of every preview as it was shown.
    QList<QRect> geometries() const { return m_geometries; }
    // Window flags of every preview as it was shown.
    QList<Qt::WindowFlags> flags() const { return m_flags; }

    // Every preview dialog that still exists once deferred deletions ran.
    static QList<QPrintPreviewDialog*> remainingPreviews();
    // PdfFile::text, for the sheets the driver printed.
    static QString pdfText(const QString& file) { return PdfFile::text(file); }

private:
    bool handle(QWidget* widget);
    void act(QPrintPreviewDialog* dialog, Action action, int index);

    ModalAnswerer* m_answerer;
    QString m_outputDir;
    QList<Action> m_actions{PrintToPdf};
    QStringList m_events;
    int m_textsTaken = 0;
    int m_previews = 0;
    QStringList m_pdfFiles;
    QList<QRect> m_geometries;
    QList<Qt::WindowFlags> m_flags;
    std::function<void(QPrintPreviewDialog*, int)> m_hook;
    QString m_pdfFileName;
};
