#pragma once

#include <QString>
#include <functional>
#include <memory>

class QApplication;
class QFont;
class QLockFile;
class QSplashScreen;
class QTranslator;
class QWidget;

// Brings the program up in its fixed order, makes sure only one instance runs
// on the computer, runs the event loop and tears everything down again:
//
//   1 register report types (hook)        8  open the database
//   2 organisation/application names      9  empty debug.txt, install the log
//   3 the application object              10 move old INI data into Variables
//   4 window icon, interface font         11 prepare the spell checker (hook)
//   5 Qt's Russian translation            12 build the main window (hook)
//   6 single-instance lock                13 splash close / window show timers
//   7 splash screen, stale restore copies 14 event loop
//
// The parts that belong to later layers come in as hooks so that the sequence
// stays in the engine and tests can run it with their own.
class StartupSequence
{
public:
    struct Hooks
    {
        // Step 1, before the application object exists.
        std::function<void()> registerReports;
        // Step 11; its result is not used.
        std::function<void()> initSpellChecker;
        // Step 12: builds the main window, which shows itself. Destroying the
        // window ends the database's life as well.
        std::function<std::unique_ptr<QWidget>()> createMainWindow;
        // Right after the application object is made (tests answer boxes from here).
        std::function<void(QApplication&)> applicationCreated;
    };

    static constexpr int LockTimeoutMs = 100;
    static constexpr int SplashDurationMs = 4000;
    static constexpr int AlreadyRunningExitCode = 1;

    explicit StartupSequence(Hooks hooks);
    ~StartupSequence();
    StartupSequence(const StartupSequence&) = delete;
    StartupSequence& operator=(const StartupSequence&) = delete;

    // The whole sequence; returns the process exit code. Call once.
    int run(int& argc, char** argv);

    // The steps, in order. Public so that tests can drive them one at a time;
    // the ones after createApplication() work on whatever application exists.
    static void setApplicationNames();
    // Also puts the C library's number formatting back to "C" (see below).
    void createApplication(int& argc, char** argv);
    // The application object takes the C library's locale from the
    // environment; libraries that write files with printf-style numbers (the
    // workbook writer) would then write "4,7" under a Russian locale. Numbers
    // go back to "C"; QLocale, and so what the user types and sees, is unchanged.
    static void useCNumericFormat();
    static void setWindowIcon();
    // The interface font the forms' fixed geometry was drawn for.
    static void setInterfaceFont();
    static QFont interfaceFont();
    void installTranslator();
    bool acquireInstanceLock();
    static void showAlreadyRunningBox();
    void showSplash();
    static void removeStaleRestoreFiles();
    bool openDatabase();
    void restartLog();
    static void migrateOldData();
    void createMainWindow();
    void startTimers();
    // Reverse order: main window (and database), log, settings, splash, lock,
    // translator, application. Only what was set up is taken down.
    void tearDown();

    static QString lockFilePath();
    static QString logFilePath();
    static QString alreadyRunningText();
    static QString splashMessage();

    QSplashScreen* splashScreen() const { return m_splash.get(); }
    QWidget* mainWindow() const { return m_mainWindow.get(); }
    QLockFile* instanceLock() const { return m_lock.get(); }
    QTranslator* translator() const { return m_translator.get(); }

private:
    Hooks m_hooks;
    std::unique_ptr<QApplication> m_app;
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QSplashScreen> m_splash;
    std::unique_ptr<QWidget> m_mainWindow;
    bool m_databaseStarted = false;
    bool m_ran = false;
};
