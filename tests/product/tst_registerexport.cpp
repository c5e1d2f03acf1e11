#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/LongTask.h"
#include "engine/ProtectedFiles.h"
#include "engine/TaskProgressDialog.h"
#include "product/DocumentsTable.h"
#include "product/FilterDockWidget.h"
#include "product/MainWindow.h"
#include "product/RegisterExport.h"
#include "product/XlsxCellReference.h"
#include "support/DocumentFixtures.h"
#include "support/FileChoiceAnswerer.h"
#include "support/FileSizeLimit.h"
#include "support/FormWidgets.h"
#include "support/Typing.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"
#include "support/TextFit.h"
#include "support/UrlCatcher.h"
#include "support/XlsxFile.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSemaphore>
#include <QStandardPaths>
#include <QXmlStreamReader>

#include <unistd.h>

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

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// How a spreadsheet program shows a cell, "<font size> <horizontal>
// <vertical> wrap": the cell's style index in the sheet, looked up in the
// style sheet's cell formats and fonts. A cell without an index has style 0.
QString cellLook(const QString& path, const QString& cell)
{
    int style = -1;
    QXmlStreamReader sheet(XlsxFile::part(path, "xl/worksheets/sheet1.xml"));
    while (!sheet.atEnd() && style < 0) {
        if (sheet.readNext() == QXmlStreamReader::StartElement && sheet.name() == QLatin1String("c")
            && sheet.attributes().value("r") == cell)
            style = sheet.attributes().value("s").toInt();
    }
    if (style < 0)
        return QStringLiteral("no cell");
    QXmlStreamReader styles(XlsxFile::part(path, "xl/styles.xml"));
    QStringList fontSizes;
    QString section;
    int xf = -1;
    QString look;
    while (!styles.atEnd()) {
        const QXmlStreamReader::TokenType token = styles.readNext();
        const QString name = styles.name().toString();
        const auto attribute = [&styles](const char* key) { return styles.attributes().value(key).toString(); };
        if (token == QXmlStreamReader::EndElement && name == section)
            section.clear();
        if (token != QXmlStreamReader::StartElement)
            continue;
        if (name == "fonts" || name == "cellXfs")
            section = name;
        else if (section == "fonts" && name == "font")
            fontSizes << QString();
        else if (section == "fonts" && name == "sz" && !fontSizes.isEmpty())
            fontSizes.last() = attribute("val");
        else if (section == "cellXfs" && name == "xf" && ++xf == style)
            look = fontSizes.value(attribute("fontId").toInt());
        else if (section == "cellXfs" && name == "alignment" && xf == style)
            look += ' ' + attribute("horizontal") + ' ' + attribute("vertical") + (attribute("wrapText") == "1" ? " wrap" : "");
    }
    return look;
}

} // namespace

// The filter panel, and the register export through the main window: the notice, the file
// choice, the workbook read back, the filter it shares with the register, failures.
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
        for (const QVariant& isTemplate : {QVariant(0), QVariant(1), QVariant()}) // a NULL flag is listed by the register, never exported
            QVERIFY(insertDocument({{"isTemplate", isTemplate}, {"fio1", "Петров"}, {"serial", "115524"}, {"number", "1234567"}}) > 0);
        // Read back as typed: escape-like text, NUL and other control characters.
        const QString odd = QStringLiteral("_x0041_ _x005F_x0042_ _xZ041_ ") + QChar(0) + "\x01\r\t\nя";
        QVERIFY(insertDocument({{"isTemplate", 0}, {"professionName", odd}}) > 0);
        open();

        // Characters that mean something in a URL must not cut the path when the file is opened.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("реестр #1 100%"));
        const QString path = dir.filePath("реестр #1 100%/книга.xlsx");
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(path);
        child<QAction>(window.get(), "actionExport")->trigger();
        QCOMPARE(answerer.texts(), QStringList{"При экспорте в Excel будут применены текущие настройки фильтрации"});
        const FileChooser::Request request = files.requests.value(0);
        QCOMPARE(request.caption + '|' + request.filter + '|' + request.proposed,
                 "Экспорт в Excel|Excel files (*.xlsx)|" + QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                     + "/VelSpo" + QDate::currentDate().toString("-export-yyyy-MM-dd") + ".xlsx");
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(path)});

        const QMap<QString, QString> cells = XlsxFile::cells(path);
        QCOMPARE(sheetRow(cells, 1).split('|', Qt::SkipEmptyParts).size(), 10);
        QVERIFY(sheetRow(cells, 1).startsWith("№ п/п|Регистрационный номер диплома|"));
        QCOMPARE(sheetRow(cells, 2), QStringLiteral("|42-р|Иванова Мария Петровна|115524 1234567, 115525 7654321|2014-12-12|"
                                                    "Программирование в компьютерных системах|2015-06-05, 42-р|2015-06-30, 12-к||"));
        QCOMPARE(sheetRow(cells, 3), QStringLiteral("||Петров  |115524 1234567,  |||, |, ||"));
        QCOMPARE(sheetRow(cells, 4), QStringLiteral("||  | ,  ||") + odd + "|, |, ||");
        QCOMPARE(sheetRow(cells, 5), QStringLiteral("|||||||||"));

        // One record per column, none overlapping (the file adds the cell
        // padding to the width); row 1 is 70 high.
        const QString sheet = QString::fromUtf8(XlsxFile::part(path, "xl/worksheets/sheet1.xml"));
        QCOMPARE(sheet.count("<col "), 10);
        QVERIFY(sheet.contains("<col min=\"1\" max=\"1\" width=\"4.7109375\""));
        QCOMPARE(sheet.count(QRegularExpression("<col min=\"(\\d+)\" max=\"\\1\" width=\"20.7109375\"")), 9);
        QVERIFY(sheet.contains(QRegularExpression("<row r=\"1\"[^>]* ht=\"70\" customHeight=\"1\"")));
        // The long headers wrap within that height, centred, like the data.
        for (const QString cell : {"A1", "B1", "F1", "I1", "J1", "B2", "H4"})
            QCOMPARE(cell + ' ' + cellLook(path, cell), cell + " 10 center center wrap");
        const QByteArray styles = XlsxFile::part(path, "xl/styles.xml");
        // Under any locale, every number in the package reads as a number.
        const QRegularExpression number("^[-+\\d.,]*\\d[-+\\d.,]*$");
        for (const QString part : {"xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/workbook.xml"}) {
            QXmlStreamReader xml(XlsxFile::part(path, part));
            int numbers = 0;
            while (!xml.atEnd()) {
                if (xml.readNext() != QXmlStreamReader::StartElement)
                    continue;
                for (const QXmlStreamAttribute& attribute : xml.attributes()) {
                    const QString value = attribute.value().toString();
                    bool ok = true;
                    if (value.contains(number))
                        value.toDouble(&ok), ++numbers;
                    QVERIFY2(ok, qPrintable(part + ' ' + attribute.name() + '=' + value));
                }
            }
            QVERIFY2(!xml.hasError() && numbers > 0, qPrintable(part));
        }
        QVERIFY(styles.contains("<sz val=\"10\"/>"));
        QVERIFY(styles.contains("<alignment horizontal=\"center\" vertical=\"center\" wrapText=\"1\"/>"));

        // A cell beyond its limit keeps the workbook from being saved: reported, nothing opened.
        QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", QString(40000, QChar(0x416))}}) > 0);
        files.answer(dir.filePath("long.xlsx"));
        window->exportTo();
        QCOMPARE(answerer.texts().last() + answerer.titles().last(),
                 "Не удалось сохранить файл " + dir.filePath("long.xlsx") + ".\nВ документе «" + QString(60, QChar(0x416))
                     + "…» значение столбца «Фамилия, имя, отчество лица, получившего диплом» длиннее 32767 знаков и не "
                       "помещается в ячейку Excel. Сократите его в документе и повторите экспорт.Ошибка");
        QCOMPARE(catcher.urls.size(), 1);
        QVERIFY(!QFile::exists(dir.filePath("long.xlsx")));
    }

    // The panel's list as the user types into it, and what it does to the
    // register, across reloads, and to the export.
    void panelFiltersRegisterAndExport()
    {
        const QStringList names = {"Абрамов", "Абрамова", "Борисова", "Абрамова", "Абрамцев"};
        const QStringList professions = {"Повар", "Повар-кондитер", "Повар", "Токарь", "Повар"};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", names.at(i)}, {"professionName", professions.at(i)},
                                    {"issueDate", QString("2020-01-0%1").arg(i + 1)}}) > 0);
        open();
        FilterDockWidget* panel = window->filterPanel();
        DocumentsTable* table = window->documentsRegister();
        QCOMPARE(QString("%1-%2-%3").arg(panel->minimumWidth()).arg(panel->maximumWidth()).arg(panel->sizeHint().width()),
                 QStringLiteral("228-228-400"));
        const auto keys = [](const QList<QPair<QString, QVariant>>& list) {
            QStringList parts;
            for (const auto& pair : list)
                parts << pair.first + '=' + pair.second.toString(); // dates as yyyy-MM-dd
            return parts.join(' ');
        };
        QString sent;
        connect(panel, &FilterDockWidgetAbstract::filtersChanged, [&](const QList<QPair<QString, QVariant>>& list) { sent = keys(list); });
        const auto visible = [table] {
            table->selectAll();
            return table->selectedVisibleRows().size();
        };
        // Typed, then confirmed with a key: what the panel sent, the rows shown.
        // A date is typed as written, from its day on.
        const auto type = [&](const char* name, const QString& text, Qt::Key confirm) {
            auto* field = child<QWidget>(panel, name);
            if (qobject_cast<QDateEdit*>(field)) {
                QTest::keyClick(field, Qt::Key_Home);
                QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
                QTest::keyClick(field, Qt::Key_Right, Qt::ShiftModifier);
            } else {
                QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
            }
            Typing::type(field, text);
            QTest::keyClick(field, confirm);
            return sent + ' ' + QString::number(visible());
        };
        QCOMPARE(keys(panel->filters()), QStringLiteral("fio= prof="));
        QCOMPARE(type("lineEditFio1", " абрамов ", Qt::Key_Enter), QStringLiteral("fio=абрамов prof= 3"));
        table->updateData();
        QCOMPARE(visible(), 3);
        QCOMPARE(type("lineEditProfessionName", "ПОВАР ", Qt::Key_Tab), QStringLiteral("fio=абрамов prof=ПОВАР 2"));

        const QString today = QDate::currentDate().toString(Qt::ISODate);
        auto* from = child<QDateEdit>(panel, "dateEditFrom");
        auto* to = child<QDateEdit>(panel, "dateEditTo");
        QVERIFY(!from->isEnabled());
        child<QCheckBox>(panel, "checkBox")->setChecked(true);
        QVERIFY(from->isEnabled() && to->isEnabled());
        QCOMPARE(sent + ' ' + QString::number(visible()), QString("dateFrom=%1 dateTo=%1 fio=абрамов prof=ПОВАР 0").arg(today));
        QCOMPARE(type("dateEditFrom", "01.01.2020", Qt::Key_Enter), QString("dateFrom=2020-01-01 dateTo=%1 fio=абрамов prof=ПОВАР 2").arg(today));
        QCOMPARE(type("dateEditTo", "01.01.2020", Qt::Key_Tab), QStringLiteral("dateFrom=2020-01-01 dateTo=2020-01-01 fio=абрамов prof=ПОВАР 1"));
        // Each date bounds the other (a from-date past the to-date is not
        // taken), within 2017-01-01 .. 2999-12-31.
        QCOMPARE(type("dateEditFrom", "02.01.2020", Qt::Key_Enter), QStringLiteral("dateFrom=2020-01-01 dateTo=2020-01-01 fio=абрамов prof=ПОВАР 1"));
        QCOMPARE(QList<QDate>({from->minimumDate(), from->maximumDate(), to->minimumDate(), to->maximumDate()}),
                 QList<QDate>({QDate(2017, 1, 1), QDate(2020, 1, 1), QDate(2020, 1, 1), QDate(2999, 12, 31)}));

        QTemporaryDir dir;
        ModalAnswerer answerer;
        answerer.setCheckBoxChecked(true); // "Больше не предупреждать"
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(dir.filePath("a.xlsx"));
        window->exportTo();
        const QMap<QString, QString> cells = XlsxFile::cells(dir.filePath("a.xlsx"));
        QCOMPARE(cells.value("C2") + '|' + cells.value("C3") + '|' + cells.value("C4"), QStringLiteral("Абрамов  ||"));
        // The next export asks nothing; a cancelled choice writes and opens
        // nothing; a folder as the target (no file even for root) is reported.
        window->exportTo();
        QCOMPARE(files.requests.size(), 2);
        files.answer(dir.path());
        window->exportTo();
        QCOMPARE(answerer.texts().mid(1), QStringList{"Не удалось сохранить файл " + dir.path() + "."});
        QCOMPARE(catcher.urls.size(), 1);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.xlsx"});

        // Clearing drops the texts and the date box, but keeps the dates.
        button(panel, "pushButtonClear")->click();
        QCOMPARE(sent + ' ' + from->date().toString(Qt::ISODate), QStringLiteral("fio= prof= 2020-01-01"));
        QCOMPARE(visible(), 5);
        // The panel and its menu entry follow each other.
        auto* action = child<QAction>(window.get(), "actionFilter");
        panel->close();
        QVERIFY(!action->isChecked());
        action->setChecked(true);
        QVERIFY(panel->isVisible());
    }

    // Which documents a filter exports: a date range takes both of its days
    // and never a date that is none; a name alone takes its rows whatever
    // their dates; one date alone is no date filter.
    void filterSelectsTheRows()
    {
        const QList<QPair<QString, QVariant>> documents = {
            {"Январёв", "2020-01-31"}, {"Начальный", "2020-02-01"}, {"Серединов", "2020-02-15"},
            {"Конечный", "2020-02-29"}, {"Мартов", "2020-03-01"}, {"Иванов", "2020-02-30"},
            {"Иванова", "2020-2-15"}, {"Пробелов", "2020-02-10 "}, {"Иванченко", ""},
            {"Безднев", QVariant()}, {"Иванищев", "2020-02-10"},
        };
        for (const auto& [surname, issued] : documents)
            QVERIFY(insertDocument({{"isTemplate", 0}, {"fio1", surname}, {"issueDate", issued}}) > 0);
        const auto filter = [](const QString& fio, const QDate& from, const QDate& to) {
            QList<QPair<QString, QVariant>> list;
            if (from.isValid())
                list.append({"dateFrom", from});
            if (to.isValid())
                list.append({"dateTo", to});
            return list << qMakePair(QStringLiteral("fio"), QVariant(fio)) << qMakePair(QStringLiteral("prof"), QVariant(QString()));
        };
        const QDate first(2020, 2, 1), last(2020, 2, 29);
        const QList<std::pair<QList<QPair<QString, QVariant>>, QString>> cases = {
            {filter({}, first, last), "Начальный Серединов Конечный Иванищев"},
            {filter({}, last, last), "Конечный"},
            {filter({}, QDate(2020, 1, 31), QDate(2020, 1, 31)), "Январёв"},
            {filter("иван", {}, {}), "Иванов Иванова Иванченко Иванищев"},
            {filter("иван", first, last), "Иванищев"},
            {filter({}, first, {}), "Январёв Начальный Серединов Конечный Мартов Иванов Иванова Пробелов Иванченко Безднев Иванищев"},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath("filtered.xlsx");
        for (const auto& [list, expected] : cases) {
            QVERIFY(RegisterExport::write(path, list));
            const QMap<QString, QString> cells = XlsxFile::cells(path);
            QStringList surnames;
            for (int row = 2; cells.contains(QString("C%1").arg(row)); ++row)
                surnames << cells.value(QString("C%1").arg(row)).trimmed();
            QCOMPARE(surnames.join(' '), expected);
        }
    }

    // The stored date read without the format parser, and yet as it reads
    // them: every day, month and year at and beyond their limits, and texts
    // that only look like dates.
    void storedDatesReadAsTheFormatParserReadsThem()
    {
        QStringList texts = {"", " 2020-02-10", "2020-02-10 ", "2020-2-15", "2020-02-5", "+2020-02-1", "20200-02-10",
                             "2020-02-1x", "2020/02/10", "2020-02-010", "٢٠٢٠-02-10", "２０２０-02-10", "-020-02-10"};
        for (int year : {0, 1, 99, 1752, 1900, 2000, 2020, 2100, 9999})
            for (int month = 0; month <= 13; ++month)
                for (int day = 0; day <= 32; ++day)
                    texts << QString::asprintf("%04d-%02d-%02d", year, month, day);
        int valid = 0;
        for (const QString& text : qAsConst(texts)) {
            const QDate parsed = QDate::fromString(text, "yyyy-MM-dd");
            QCOMPARE(text + ' ' + RegisterExport::storedDate(text).toString(Qt::ISODate), text + ' ' + parsed.toString(Qt::ISODate));
            valid += parsed.isValid() ? 1 : 0;
        }
        QCOMPARE(valid, 3 * 366 + 5 * 365); // 1752, 2000 and 2020 are leap years; there is no year 0
    }

    // A damaged page in the documents' table: the register says it is
    // incomplete, and the export writes nothing, opens nothing and says why;
    // a workbook already at the path stays as it was.
    void unreadableRegisterIsNotExported()
    {
        for (int i = 0; i < 50; ++i)
            QVERIFY(insertDocument(fullDocument()) > 0);
        const auto fresh = qScopeGuard([this] {
            window.reset();
            resetDataDir(); // for the tests after this one
            Database::setKnownDamaged(false);
        });
        QVERIFY(damageTable("SpoDocuments"));
        QVERIFY(Database::init(true));
        Database::userSettings()->setValue(QStringLiteral("VelSpo/askBeforeExport"), false);
        ModalAnswerer answerer;
        open();
        const int read = window->documentsRegister()->tableModel()->rowCount();
        QVERIFY(read > 0 && read < 50);
        // The start-up check's warning, which tells of the incomplete list too.
        QCOMPARE(answerer.titles(), QStringList{"Внимание!"});
        QVERIFY(answerer.texts().value(0).contains(QString("показаны только прочитанные документы (%1)").arg(read)));

        QTemporaryDir dir;
        const QString path = dir.filePath("register.xlsx");
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("an earlier export") > 0);
        earlier.close();
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(path);
        QTest::ignoreMessage(QtDebugMsg, QRegularExpression("export stopped: register read failed after \\d+ rows written: "
                                                            "\"database disk image is malformed"));
        window->exportTo();
        QCOMPARE(answerer.titles().value(1) + '|' + answerer.texts().value(1),
                 "Ошибка|Не удалось сохранить файл " + path + ".\nНе удалось прочитать документы из базы данных: файл "
                 "базы данных повреждён (database disk image is malformed). Книга не сохранена.");
        QVERIFY(Database::isKnownDamaged());
        Database::setKnownDamaged(false);
        QVERIFY(catcher.urls.isEmpty());
        QVERIFY(earlier.open(QIODevice::ReadOnly));
        QCOMPARE(earlier.readAll(), QByteArray("an earlier export"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"register.xlsx"});
    }

    // Only the columns the workbook shows or the filters compare are read:
    // one it has no use for, which cannot even be read, does not stop it.
    void readsOnlyTheColumnsItShows()
    {
        QVERIFY(insertDocument(fullDocument()) > 0);
        const auto fresh = qScopeGuard([] { resetDataDir(); });
        QVERIFY(exec("ALTER TABLE SpoDocuments DROP COLUMN comment"));
        QVERIFY(exec("ALTER TABLE SpoDocuments ADD COLUMN comment TEXT GENERATED ALWAYS AS (abs(-9223372036854775807 - 1))"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("integer overflow"));
        QVERIFY(!exec("SELECT * FROM SpoDocuments"));
        QTemporaryDir dir;
        QVERIFY(RegisterExport::write(dir.filePath("register.xlsx"), {{"fio", "иванова"}, {"prof", "программ"}}));
        QCOMPARE(sheetRow(XlsxFile::cells(dir.filePath("register.xlsx")), 2),
                 QStringLiteral("|42-р|Иванова Мария Петровна|115524 1234567, 115525 7654321|2014-12-12|"
                                "Программирование в компьютерных системах|2015-06-05, 42-р|2015-06-30, 12-к||"));
    }

    // A documents' table the query cannot read as it expects: the box says so
    // with the database's own words, and nothing is written.
    void failedQueryNamesTheReason_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("reason");
        QTest::newRow("replaced") << "CREATE TABLE SpoDocuments (spoId INTEGER PRIMARY KEY, isTemplate INTEGER, fio1 TEXT)"
                                  << "таблица документов отсутствует или имеет неверную структуру (no such column: regNumber)";
        QTest::newRow("gone") << QString() << "таблица документов отсутствует или имеет неверную структуру (no such table: SpoDocuments)";
    }

    void failedQueryNamesTheReason()
    {
        QFETCH(QString, change);
        QFETCH(QString, reason);
        QVERIFY(insertDocument(fullDocument()) > 0);
        const auto fresh = qScopeGuard([this] {
            window.reset();
            resetDataDir(); // the table is the schema's again for the tests after this one
        });
        Database::userSettings()->setValue(QStringLiteral("VelSpo/askBeforeExport"), false);
        open();
        QVERIFY(exec("DROP TABLE SpoDocuments"));
        QVERIFY(change.isEmpty() || exec(change));
        QVERIFY(change.isEmpty() || insertDocument({{"isTemplate", 0}, {"fio1", "Иванова"}}) > 0);

        QTemporaryDir dir;
        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(dir.filePath("register.xlsx"));
        window->exportTo();
        QCOMPARE(answerer.titles().join('|') + '|' + answerer.texts().join('|'),
                 "Ошибка|Не удалось сохранить файл " + dir.filePath("register.xlsx")
                     + ".\nНе удалось прочитать документы из базы данных: " + reason + ". Книга не сохранена.");
        QVERIFY(catcher.urls.isEmpty() && QDir(dir.path()).isEmpty());
    }

    // The database (by its path or any other name of it) and the settings are
    // never the target: refused with the reason, nothing written or opened,
    // and the database still opens as it was.
    void programsOwnFilesAreNotOverwritten_data()
    {
        QTest::addColumn<QString>("target");
        for (const char* target : {"database", "symlink", "hardlink", "settings"})
            QTest::newRow(target) << target;
    }

    void programsOwnFilesAreNotOverwritten()
    {
        QFETCH(QString, target);
        for (int i = 0; i < 3; ++i)
            QVERIFY(insertDocument(fullDocument()) > 0);
        Database::userSettings()->setValue(QStringLiteral("VelSpo/askBeforeExport"), false);
        open();
        const QString database = Database::databaseFileName();
        const QString settings = Database::userSettingsPath() + "/settings.ini";
        Database::syncSettings();
        QTemporaryDir elsewhere;
        QString path = target == "settings" ? settings : database;
        if (target == "symlink") {
            path = elsewhere.filePath("register.xlsx");
            QVERIFY(QFile::link(database, path));
        } else if (target == "hardlink") {
            path = elsewhere.filePath("register.xlsx");
            QVERIFY(::link(QFile::encodeName(database).constData(), QFile::encodeName(path).constData()) == 0);
        }
        const QByteArray databaseBytes = contents(database);
        const QByteArray settingsBytes = contents(settings);
        const QStringList dataFiles = QDir(Database::dataPath()).entryList(QDir::Files);
        const QString refusal = ProtectedFiles::refusalText(path);
        QVERIFY(!databaseBytes.isEmpty() && !settingsBytes.isEmpty() && !refusal.isEmpty());

        const auto fresh = qScopeGuard([&] {
            if (contents(database) != databaseBytes) { // the tests after this one need a database
                window.reset();
                resetDataDir();
            }
        });

        ModalAnswerer answerer;
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(path);
        child<QAction>(window.get(), "actionExport")->trigger();
        QVERIFY(contents(database) == databaseBytes);
        QVERIFY(DatabaseIntegrity::isWhole(database, DatabaseIntegrity::Depth::Quick));
        QVERIFY(contents(settings) == settingsBytes);
        QCOMPARE(QDir(Database::dataPath()).entryList(QDir::Files), dataFiles);
        QCOMPARE(answerer.titles().join('|') + '|' + answerer.texts().join('|'), "Ошибка|" + refusal);
        QVERIFY(catcher.urls.isEmpty());
    }

    // The export works on a thread of its own under a progress dialog that
    // says what it does while the window's event loop goes on. Cancelled
    // while it reads or while it packs the workbook, or stopped by a full
    // disk, it leaves the file at the path as it was and opens nothing;
    // finished, it opens the workbook.
    void progressAndCancel_data()
    {
        QTest::addColumn<QString>("held");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QStringList>("stages");
        const QStringList all = {RegisterExport::openingStageText(), RegisterExport::rowsStageText(),
                                 RegisterExport::savingStageText()};
        QTest::newRow("finished") << RegisterExport::rowsStageText() << "" << all;
        QTest::newRow("cancelled reading") << RegisterExport::rowsStageText() << "cancel" << QStringList(all.mid(0, 2));
        QTest::newRow("cancelled saving") << RegisterExport::savingStageText() << "cancel" << all;
        QTest::newRow("disk full") << RegisterExport::savingStageText() << "fill the disk" << all;
    }

    void progressAndCancel()
    {
        QFETCH(QString, held);
        QFETCH(QString, then);
        QFETCH(QStringList, stages);
        QVERIFY(insertMany(600)); // more rows than the work reads between two looks at a cancel
        Database::userSettings()->setValue(QStringLiteral("VelSpo/askBeforeExport"), false);
        open();
        QTemporaryDir dir;
        const QString path = dir.filePath("register.xlsx");
        QVERIFY(writeFile(path, "an earlier export"));

        QSemaphore release;
        QStringList begun; // on the work's thread, read once it is over
        LongTask::setStageHookForTesting([&](const QString& stage) {
            begun << stage;
            if (stage == held)
                release.acquire();
        });
        const auto unhook = qScopeGuard([] { LongTask::setStageHookForTesting({}); });
        int ticked = 0;
        QTimer ticks;
        connect(&ticks, &QTimer::timeout, [&ticked] { ++ticked; });
        std::unique_ptr<FileSizeLimit> full;
        ModalAnswerer answerer;
        QStringList seen;
        answerer.onDialog([&](QWidget* dialog) {
            auto* progress = qobject_cast<TaskProgressDialog*>(dialog);
            if (!progress || progress->labelText() != held)
                return false;
            auto* button = progress->findChild<QPushButton*>();
            seen << progress->windowTitle() << progress->labelText() + (button->isEnabled() ? " [Отмена]" : "")
                 << clippedTexts(progress).join("; ");
            // The event loop runs while the work is held.
            const int before = ticked;
            seen << (QTest::qWaitFor([&] { return ticked > before; }, 5000) ? "ticks" : "no ticks");
            if (then == "cancel")
                button->click();
            else if (then == "fill the disk")
                full.reset(new FileSizeLimit(4096));
            release.release();
            return true;
        });
        FileChoiceAnswerer files;
        UrlCatcher catcher;
        files.answer(path);
        ticks.start(5);
        child<QAction>(window.get(), "actionExport")->trigger();
        full.reset();
        QCOMPARE(seen, QStringList({"Экспорт в Excel", held + " [Отмена]", "", "ticks"}));
        QCOMPARE(begun, stages);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"register.xlsx"});
        if (then.isEmpty()) {
            QCOMPARE(XlsxFile::cells(path).value("C601"), QStringLiteral("Фамилия600 Имя Отчество"));
            QCOMPARE(catcher.urls, QList<QUrl>{QUrl::fromLocalFile(path)});
        } else {
            QCOMPARE(contents(path), QByteArray("an earlier export"));
            QVERIFY(catcher.urls.isEmpty());
        }
        QCOMPARE(answerer.texts(), then == "fill the disk" ? QStringList{"Не удалось сохранить файл " + path + "."} : QStringList());
    }

    void cellNames()
    {
        for (const auto& [name, read] : QList<std::pair<QString, QString>>{{"$AA$10", "10,27,AA10"}, {"XFE1", ""}, {"A+1", ""}}) {
            const QXlsx::CellReference cell(name); // absolute; column beyond XFD; signed row
            QCOMPARE(name + ' ' + (cell.isValid() ? QString("%1,%2,%3").arg(cell.row()).arg(cell.column()).arg(cell.toString()) : QString()),
                     name + ' ' + read);
        }
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
