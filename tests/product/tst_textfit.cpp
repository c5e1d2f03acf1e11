#include "dialogs/AdditionalEditDialog.h"
#include "dialogs/BossGuideDialog.h"
#include "dialogs/DocumentEditDialog.h"
#include "dialogs/OptionsDialog.h"
#include "dialogs/SelectTemplateDialog.h"
#include "engine/Database.h"
#include "engine/Engine.h"
#include "engine/ReportList.h"
#include "engine/StartupSequence.h"
#include "modules/PrintDialog/PrintDialog.h"
#include "modules/about/AboutDialog.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/tips/TipsDialog.h"
#include "product/MainWindow.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/designer/EditTableFieldDialog.h"
#include "report/designer/ReportWindow.h"
#include "support/DocumentFixtures.h"
#include "support/FormWidgets.h"
#include "support/TestEnvironment.h"
#include "support/TextFit.h"

#include <QFontInfo>
#include <QTabWidget>
#include <QTableView>
#include <functional>

using namespace DocumentFixtures;

namespace {

DocumentEditDialog* documentForm(int spoId, bool edit = false, bool templateMode = false)
{
    auto* dialog = new DocumentEditDialog;
    dialog->setSpoId(spoId);
    if (templateMode)
        dialog->setTemplateMode(true);
    if (edit)
        FormWidgets::button(dialog, "pushButtonEdit")->click();
    return dialog;
}

// In edit mode with a module current, on one page of its tabs.
AdditionalEditDialog* supplementEditor(int spoId, int page)
{
    insertDetails(spoId);
    auto* dialog = new AdditionalEditDialog;
    dialog->setDocument(spoId);
    FormWidgets::button(dialog, "pushButtonEditForm")->click();
    auto* modules = FormWidgets::child<QTableView>(dialog, "tableViewModules");
    modules->setCurrentIndex(modules->model()->index(0, 2));
    FormWidgets::child<QTabWidget>(dialog, "tabWidget")->setCurrentIndex(page);
    return dialog;
}

// The designer as the editor road opens it, with no settings of its own yet:
// the supplement's template filled with the first document, in the window
// a first opening gives on a 1280 x 1024 screen (the test's screen is smaller).
QWidget* designer()
{
    setRequisites();
    auto* window = new ReportWindow;
    window->openFile(TestEnvironment::sourcePath("resources/reports/id121.velrpt"));
    Engine::loadReportData(ReportList::SpoAddition, window->reportPage(), 0, false);
    window->resize(1280, 1024);
    return window;
}

// Every window and dialog of the program, in the state that shows most text.
// A new dialog is one more row here.
const QList<std::pair<const char*, std::function<QWidget*(int documentId)>>> windows = {
    {"main window", [](int) { return new MainWindow; }},
    {"document form, new", [](int) { return documentForm(0); }},
    {"document form, view", [](int id) { return documentForm(id); }},
    {"document form, edit", [](int id) { return documentForm(id, true); }},
    {"document form, template", [](int) { return documentForm(0, false, true); }},
    {"print dialog", [](int) { return new PrintDialog; }},
    {"print dialog, editor", [](int) { auto* dialog = new PrintDialog; dialog->setEditMode(); return dialog; }},
    {"table dialog, new", [](int) { return new EditTableFieldDialog; }},
    {"table dialog, edit", [](int) { auto* dialog = new EditTableFieldDialog; auto* table = new TableField(dialog);
                                     table->setColumnCount(4); table->setSplitsCount(2);
                                     table->setColumnsAlign({0, 132, 4, 2}); dialog->setTableField(table); return dialog; }},
    {"templates dialog", [](int) { return new SelectTemplateDialog; }},
    {"supplement editor, general", [](int id) { return supplementEditor(id, 0); }},
    {"supplement editor, disciplines", [](int id) { return supplementEditor(id, 1); }},
    {"supplement editor, modules", [](int id) { return supplementEditor(id, 2); }},
    {"supplement editor, practices", [](int id) { return supplementEditor(id, 3); }},
    {"supplement editor, courseworks", [](int id) { return supplementEditor(id, 4); }},
    {"supplement editor, attestations", [](int id) { return supplementEditor(id, 5); }},
    {"preferences, proxy", [](int) { return new PreferencesDialog; }},
    {"preferences, spelling",
     [](int) { auto* dialog = new PreferencesDialog; dialog->findChild<QTabWidget*>()->setCurrentIndex(1); return dialog; }},
    {"tips of the day", [](int) { return new TipsDialog; }},
    {"about", [](int) { return new AboutDialog; }},
    {"requisites", [](int) { setRequisites(); return Database::setVariable("Date", "2026-12-06 23:22:14") ? new OptionsDialog : nullptr; }},
    {"chairpersons guide", [](int) { return new BossGuideDialog; }},
    {"designer", [](int) { return designer(); }},
};

} // namespace

// Every text of every window fits its widget at the program's own font.
class TextFitTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        ReportList::registerReports();
        StartupSequence::setInterfaceFont();
        // Installed from the package list; a stand-in font has other metrics.
        QCOMPARE(QFontInfo(QApplication::font()).family(), StartupSequence::interfaceFont().family());
    }

    void textsFit_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < windows.size(); ++i)
            QTest::newRow(windows.at(i).first) << i;
    }

    void textsFit()
    {
        QFETCH(int, index);
        QVERIFY(openEmpty());
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
        const int id = insertDocument(fullDocument());
        QVERIFY(id > 0 && exec("UPDATE SpoDocuments SET editDate = '2026-12-06 23:22:14'")); // the widest edit stamp

        std::unique_ptr<QWidget> window(windows.at(index).second(id));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->show();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QStringList clipped = clippedTexts(window.get());
        QVERIFY2(clipped.isEmpty(), qPrintable("\n" + clipped.join('\n')));
    }

    void cleanup() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
};

VELSPO_TEST_MAIN(TextFitTest)
#include "tst_textfit.moc"
