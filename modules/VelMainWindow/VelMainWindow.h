#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"

class Engine;
class LongTask;
class QDialog;
class QUrl;
class Updater;

// The main-window base of the product family: the one Engine and the message
// box that shows its errors, the start-up work that runs shortly after the
// window shows itself, the window settings, the road into the template
// editor, database backup and restore, and the openers of the family modules.
//
// The start-up work: the proxy and the window settings, then SQLite's check of
// the database on a thread of its own while the window answers the user; once
// its verdict is in, the notices in a fixed order (a damaged database, else a
// register that could not be read whole; settings files that are not read; the
// version's own notice), then the tips of the day.
class VelMainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit VelMainWindow(QWidget* parent = nullptr);
    ~VelMainWindow() override;

    Engine* reportEngine() const { return engine; }
    bool isAskBeforeExport() const { return askBeforeExport; }
    bool isAskBeforeEditor() const { return askBeforeEditor; }
    PrintDialog* editorChooser() const { return printDialog; }

    // The name the backup dialog proposes: "<Documents>/VelSpo-backup-yyyy-MM-dd.db".
    QString proposedBackupName() const;
    // "<Documents>/VelSpo-<kind>-yyyy-MM-dd<extension>", today's date.
    QString proposedFileName(const QString& kind, const QString& extension) const;

    // The support forum, the root of the maker's forum site.
    static QUrl forumUrl();

    // Where the update checks of this window ask; the build's address by default.
    void setVersionListUrl(const QString& url);

    virtual void importFrom();
    virtual void exportTo();
    virtual void saveSettings();
    // Also notes whether the tips open at start; they wait for the start-up notices.
    virtual void loadSettings();

    void openEditorWindow();
    bool saveDatabaseBackup();
    bool loadDatabaseBackup();
    void showPreferences();
    void showAbout();
    void showTips();
    void openForumUrl();

    // The name of the database check's stage on its thread (tests hold it there).
    static QString startupCheckStage();

public slots:
    void checkUpdates(bool isSilent);
    void checkUpdates();

signals:
    // The start-up work is over: the check's verdict handled, its notices
    // shown, the tips opened when they open at start.
    void startupFinished();

protected:
    // A subclass holds the start-up work while its constructor processes
    // events; work that fell due meanwhile runs once the event loop is back.
    void holdStartupWork(bool held);
    // What the product's document list says of its last load: empty when it
    // read every document; otherwise the text of its own notice, with the
    // number of documents it did read in documentsRead.
    virtual QString registerLoadProblem(int* documentsRead) const;

    Engine* engine = nullptr;
    bool askBeforeExport = true;
    bool askBeforeEditor = true;
    QString lastDir = QStringLiteral(".");
    QPointer<PrintDialog> printDialog;
    QPointer<QDialog> preferencesDialog;

private:
    void showMessage(const QString& text, const QString& title);
    void onStartupTimer();
    void startDamageCheck();
    void onDamageVerdict(bool damaged);
    void warnAboutDatabase(bool damaged);
    void warnAboutUnreadSettings();
    void onEditorTypeSelected(ReportList::ReportType type, bool printBackground);

    bool startupHeld = false;
    bool startupDue = false;
    bool tipsOnStartup = false;
    QPointer<LongTask> damageCheck;
    QString versionListUrl;
    QPointer<Updater> runningUpdate;
    bool updateCheckSilent = true;
};
