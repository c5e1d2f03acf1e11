#include "engine/Database.h"
#include "product/FilterDockWidget.h"
#include "product/MainWindow.h"
#include "product/XlsxCellReference.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/UrlCatcher.h"
#include "support/XlsxFile.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QStandardPaths>

using namespace DocumentFixtures;
using namespace FormWidgets;

namespace {

// Columns A..J of a sheet row, joined with '|'.
QString sheetRow(const QMap<QString, QString>& cells, int row)
{
    QStringList values;
    for (char column = 'A'; column <= 'J'; ++column)
        values << cells.value(QString(column) + QString::number(row));
    return values.join('|');
}

} // namespace

// The register export through the main window: the notice, the file choice,
// the workbook read back, the filter it shares with the register, failures.
class RegisterExportTest : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(openEmpty());
        Database::userSettings()->remove(QStringLiteral("VelSpo"));
        Database::userSettings()->setValue(QStringLiteral("VelSpo/showTipsOnStartup"), false);
    }

    void cleanup()
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void workbookHoldsIssuedDocuments()
    {
        QVERIFY(insertDocument(fullDocument()) > 0);
        QVariantMap bare = {{"isTemplate", 0}, {"fio1", "Петров"}, {"serial", "115524"}, {"number", "1234567"}};
        QVERIFY(insertDocument(bare) > 0);
        bare.insert("isTemplate", 1);
        QVERIFY(insertDocument(bare) > 0);
        bare.insert("isTemplate", QVariant()); // listed by the register, never exported
        QVERIFY(insertDocument(bare) > 0);
        open();

        // A "#" in the folder must not cut the path when the file is opened.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("реестр #1"));
        const QString path = dir.filePath("реестр #1/книга.xlsx");
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(path);
        child<QAction>(window.get(), "actionExport")->trigger();
        QCOMPARE(answerer.texts(), QStringList{"При экспорте в Excel будут применены текущие настройки фильтрации"});
        const FileChooser::Request request = files.requests.value(0);
        QCOMPARE(request.caption + '|' + request.filter, QStringLiteral("Экспорт в Excel|Excel files (*.xlsx)"));
        QCOMPARE(request.proposed, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/VelSpo"
                                       + QDate::currentDate().toString("-export-yyyy-MM-dd") + ".xlsx");
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.at(0).toLocalFile(), path);

        const QMap<QString, QString> cells = XlsxFile::cells(path);
        QCOMPARE(sheetRow(cells, 1).split('|', Qt::SkipEmptyParts).size(), 10);
        QVERIFY(sheetRow(cells, 1).startsWith("№ п/п|Регистрационный номер диплома|"));
        QCOMPARE(sheetRow(cells, 2), QStringLiteral("|42-р|Иванова Мария Петровна|115524 1234567, 115525 7654321|2014-12-12|"
                                                    "Программирование в компьютерных системах|2015-06-05, 42-р|2015-06-30, 12-к||"));
        QCOMPARE(sheetRow(cells, 3), QStringLiteral("||Петров  |115524 1234567,  |||, |, ||"));
        QCOMPARE(sheetRow(cells, 4), QStringLiteral("|||||||||"));

        // One record per column, none overlapping (the file adds the cell
        // padding to the width); row 1 is 70 high; the data's look.
        const QString sheet = QString::fromUtf8(XlsxFile::part(path, "xl/worksheets/sheet1.xml"));
        QStringList columns;
        for (auto it = QRegularExpression("<col min=\"(\\d+)\" max=\"(\\d+)\" width=\"([\\d.]+)\"").globalMatch(sheet); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            columns << match.captured(1) + '-' + match.captured(2) + ':' + match.captured(3);
        }
        QCOMPARE(columns.join(' '), QStringLiteral("1-1:4.7109375 2-2:20.7109375 3-3:20.7109375 4-4:20.7109375 5-5:20.7109375 "
                                                   "6-6:20.7109375 7-7:20.7109375 8-8:20.7109375 9-9:20.7109375 10-10:20.7109375"));
        QVERIFY(sheet.contains(QRegularExpression("<row r=\"1\"[^>]* ht=\"70\" customHeight=\"1\"")));
        const QByteArray styles = XlsxFile::part(path, "xl/styles.xml");
        QVERIFY(styles.contains("<sz val=\"10\"/>"));
        QVERIFY(styles.contains("<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>"));
    }

    // The panel's filters decide what goes out, as they do in the register.
    void filtersAndNotice()
    {
        const QStringList names = {"Абрамов", "Абрамова", "Борисова", "Абрамова", "Абрамцев"};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", names.at(i)}, {"issueDate", QString("2020-01-0%1").arg(i + 1)}}) > 0);
        open();
        FilterDockWidget* panel = window->filterPanel();
        edit(panel, "lineEditFio1")->insert(" абрамов "); // as typed: textEdited
        child<QCheckBox>(panel, "checkBox")->setChecked(true);
        child<QDateEdit>(panel, "dateEditFrom")->setDate(QDate(2020, 1, 1));
        child<QDateEdit>(panel, "dateEditTo")->setDate(QDate(2020, 1, 3));

        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.setCheckBoxChecked(true); // "Больше не предупреждать"
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(dir.filePath("a.xlsx"));
        window->exportTo();
        const QMap<QString, QString> cells = XlsxFile::cells(dir.filePath("a.xlsx"));
        QCOMPARE(cells.value("C2") + '|' + cells.value("C3") + '|' + cells.value("C4"), QStringLiteral("Абрамов  |Абрамова  |"));
        QVERIFY(!window->isAskBeforeExport());

        // The next export asks nothing; a cancelled choice writes and opens nothing.
        window->exportTo();
        QCOMPARE(answerer.handledCount(), 1);
        QCOMPARE(files.requests.size(), 2);
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.xlsx"});
    }

    void failedSaveIsReportedAndNothingOpened_data()
    {
        QTest::addColumn<bool>("toDirectory");
        QTest::addColumn<int>("nameLength");
        QTest::newRow("a directory, no file even for root") << true << 10;
        QTest::newRow("a name beyond the cell limit") << false << 40000;
    }

    void failedSaveIsReportedAndNothingOpened()
    {
        QFETCH(bool, toDirectory);
        QFETCH(int, nameLength);
        QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", QString(nameLength, QChar(0x416))}}) > 0);
        open();
        QTemporaryDir dir;
        const QString target = toDirectory ? dir.path() : dir.filePath("long.xlsx");
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(target);
        window->exportTo();
        QCOMPARE(answerer.texts().value(1) + answerer.titles().value(1),
                 QStringLiteral("Не удалось сохранить файл %1.Ошибка").arg(target));
        QVERIFY(catcher.urls.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void cellNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("read");
        QTest::newRow("absolute") << "$AA$10" << "10,27,AA10";
        QTest::newRow("column beyond") << "XFE1" << "";
        QTest::newRow("signed row") << "A+1" << "";
    }

    void cellNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, read);
        const QXlsx::CellReference cell(name);
        QCOMPARE(cell.isValid() ? QString("%1,%2,%3").arg(cell.row()).arg(cell.column()).arg(cell.toString()) : QString(), read);
    }

private:
    // Once the start-up work has read the settings, which would bring the
    // notice back.
    void open()
    {
        window.reset(new MainWindow);
        QTRY_VERIFY(Database::userSettings()->contains(QStringLiteral("VelSpo/last_started_version")));
    }

    std::unique_ptr<MainWindow> window;
};

VELSPO_TEST_MAIN(RegisterExportTest)
#include "tst_registerexport.moc"
