#pragma once

#include "engine/ReportList.h"

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>

class ReportPage;

// Turns a request to print a document on a report type, or to edit a type's
// template, into work on a ReportPage. Problems the user must see go out
// through error(), which the main window shows as a message box.
class Engine : public QObject
{
    Q_OBJECT

public:
    explicit Engine(QObject* parent = nullptr);
    ~Engine() override;

    // The template file of a type: the data directory's "/reports/<name>.velrpt"
    // when it exists, otherwise the relative "reports/<name>.velrpt" (not
    // checked). Empty for an unregistered type.
    static QString reportFilePath(ReportList::ReportType type);
    // The first background image of the type's template; null when there is
    // no template file.
    static QPixmap pixmap(ReportList::ReportType type);
    // Fills the page through the type's loader; false for an unregistered type
    // or a null page.
    static bool loadReportData(ReportList::ReportType type, ReportPage* page, int sqlDocId, bool useData);

    // The page of the last print request (a child of the engine), or null.
    ReportPage* currentPage() const;

public slots:
    void onDocumentPrint(ReportList::ReportType type, int sqlDocId, bool printBackground);
    void onGuiEdit(ReportList::ReportType type);

signals:
    void error(const QString& text, const QString& title = QStringLiteral("Ошибка"));

private:
    // The type's template file, or "" once the user has been told it is missing.
    QString existingTemplatePath(ReportList::ReportType type);

    // Only pages made for printing; a designer's page belongs to its window.
    QPointer<ReportPage> m_currentPage;
};

// True when the path exists and is a file, not a directory.
bool fileExists(const QString& path);
