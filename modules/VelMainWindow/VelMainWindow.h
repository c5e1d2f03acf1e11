#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include "engine/ReportList.h"
#include "modules/PrintDialog/PrintDialog.h"

class Engine;
class QDialog;
class QUrl;
class Updater;

// The main-window base of the product family: the one Engine and the message
// box that shows its errors, the start-up work that runs shortly after the
// window shows itself, the window settings, the road into the template
// editor, database backup and restore, and the openers of the family modules.
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
    virtual void loadSettings();

    void openEditorWindow();
    bool saveDatabaseBackup();
    bool loadDatabaseBackup();
    void showPreferences();
    void showAbout();
    void showTips();
    void openForumUrl();

public slots:
    void checkUpdates(bool isSilent);
    void checkUpdates();

protected:
    Engine* engine = nullptr;
    bool askBeforeExport = true;
    bool askBeforeEditor = true;
    QString lastDir = QStringLiteral(".");
    QPointer<PrintDialog> printDialog;
    QPointer<QDialog> preferencesDialog;

private:
    void showMessage(const QString& text, const QString& title);
    void onStartupTimer();
    void warnIfDatabaseDamaged();
    void onEditorTypeSelected(ReportList::ReportType type, bool printBackground);

    QString versionListUrl;
    QPointer<Updater> runningUpdate;
    bool updateCheckSilent = true;
};
