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
#include <QStandardPaths>

using namespace DocumentFixtures;

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
        FormWidgets::child<QAction>(window.get(), "actionExport")->trigger();
        QCOMPARE(answerer.texts(), QStringList{"При экспорте в Excel будут применены текущие настройки фильтрации"});
        QCOMPARE(files.requests.value(0).caption + '|' + files.requests.value(0).filter, QStringLiteral("Экспорт в Excel|Excel files (*.xlsx)"));
        QCOMPARE(files.requests.value(0).proposed, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                                       + "/VelSpo" + QDate::currentDate().toString("-export-yyyy-MM-dd") + ".xlsx");
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(catcher.urls.at(0).toLocalFile(), path);

        const QMap<QString, QString> cells = XlsxFile::cells(path);
        QStringList headers;
        for (char column = 'A'; column <= 'J'; ++column)
            headers << cells.value(QString(column) + "1");
        QCOMPARE(headers.first() + '|' + headers.last(), QStringLiteral("№ п/п|Подпись лица, которому выдан документ"));
        QCOMPARE(headers.filter(QRegularExpression("\\S")).size(), 10);
        QStringList rows;
        for (int row = 2; row <= 4; ++row) {
            QStringList values;
            for (char column = 'A'; column <= 'J'; ++column)
                values << cells.value(QString(column) + QString::number(row));
            rows << values.join('|');
        }
        QCOMPARE(rows, (QStringList{
                     "|42-р|Иванова Мария Петровна|115524 1234567, 115525 7654321|2014-12-12|"
                     "Программирование в компьютерных системах|2015-06-05, 42-р|2015-06-30, 12-к||",
                     "||Петров  |115524 1234567,  |||, |, ||", "|||||||||"}));

        // One record per column, none overlapping; the file keeps the width
        // with the cell padding added.
        QCOMPARE(XlsxFile::columns(path).join(' '), QStringLiteral("1-1:4.7109375 2-2:20.7109375 3-3:20.7109375 4-4:20.7109375 "
                                                                   "5-5:20.7109375 6-6:20.7109375 7-7:20.7109375 8-8:20.7109375 "
                                                                   "9-9:20.7109375 10-10:20.7109375"));
        QCOMPARE(XlsxFile::rowHeight(path, 1), 70.0);
        const QByteArray styles = XlsxFile::part(path, "xl/styles.xml");
        QVERIFY(styles.contains("<sz val=\"10\"/>"));
        QVERIFY(styles.contains("<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>"));
    }

    // The dock's filters decide what goes out, as they do in the register.
    void filtersAndNotice()
    {
        const QStringList names = {"Абрамов", "Борисова", "Абрамова", "Власов", "Абрамцев"};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", names.at(i)}, {"issueDate", QString("2020-01-0%1").arg(i + 1)}}) > 0);
        open();
        FormWidgets::edit(window->filterPanel(), "lineEditFio1")->insert(" абрамов "); // as typed: textEdited

        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.setCheckBoxChecked(true); // "Больше не предупреждать"
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(dir.filePath("a.xlsx"));
        window->exportTo();
        QCOMPARE(XlsxFile::rowCount(dir.filePath("a.xlsx")), 3);
        QCOMPARE(XlsxFile::cells(dir.filePath("a.xlsx")).value("C3"), QStringLiteral("Абрамова  "));
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
        QCOMPARE(answerer.texts().value(1), QStringLiteral("Не удалось сохранить файл %1.").arg(target));
        QCOMPARE(answerer.titles().value(1), QStringLiteral("Ошибка"));
        QVERIFY(catcher.urls.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void cellNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("read");
        QTest::newRow("plain") << "B2" << "2,2,B2";
        QTest::newRow("absolute") << "$AA$10" << "10,27,AA10";
        QTest::newRow("last cell") << "xfd1048576" << "1048576,16384,XFD1048576";
        QTest::newRow("column beyond") << "XFE1" << "";
        QTest::newRow("row beyond") << "A1048577" << "";
        QTest::newRow("row 0") << "A0" << "";
        QTest::newRow("digits first") << "1A" << "";
        QTest::newRow("signed row") << "A+1" << "";
    }

    void cellNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, read);
        const QXlsx::CellReference cell(name);
        QCOMPARE(cell.isValid() ? QString("%1,%2,%3").arg(cell.row()).arg(cell.column()).arg(cell.toString()) : QString(),
                 read);
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
