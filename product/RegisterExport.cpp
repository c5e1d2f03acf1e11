#include "product/RegisterExport.h"

#include "engine/Database.h"
#include "engine/DatabaseIntegrity.h"
#include "engine/LongTask.h"
#include "engine/MessageLog.h"
#include "engine/PrivateConnection.h"
#include "modules/FilterDockWidgetAbstract/DocumentFilter.h"
#include "product/XlsxDocument.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <iterator>

namespace {

// The columns the workbook shows or the filters compare, and nothing else:
// every column read costs a text conversion on every row. The key comes
// first, for the progress.
enum Column {
    SpoId,
    RegNumber,
    Fio1,
    Fio2,
    Fio3,
    Serial,
    Number,
    AdditionSerial,
    AdditionNumber,
    IssueDate,
    ProfessionName,
    DecisionDate,
    DeductionDate,
    DeductionNumber,
};

const char* const RowsQuery = "SELECT spoId, regNumber, fio1, fio2, fio3, serial, number, additionSerial, "
                              "additionNumber, issueDate, professionName, decisionDate, deductionDate, "
                              "deductionNumber FROM SpoDocuments WHERE isTemplate = 0;";

// How often the work looks at a cancel and tells its progress.
constexpr int RowsPerStep = 256;

} // namespace

RegisterExport::RegisterExport(const QString& databaseFile, const FilterList& filters)
    : m_databaseFile(databaseFile)
    , m_filters(filters)
{
}

QStringList RegisterExport::headers()
{
    return {
        QStringLiteral("№ п/п"),
        QStringLiteral("Регистрационный номер диплома"),
        QStringLiteral("Фамилия, имя, отчество лица, получившего диплом"),
        QStringLiteral("Серия и номер бланка диплома; серия и номер бланка приложения к диплому"),
        QStringLiteral("Дата выдачи диплома"),
        QStringLiteral("Наименование профессии, специальности, наименование присвоенной квалификации"),
        QStringLiteral("Дата и номер протокола Государственной экзаменационной комиссии"),
        QStringLiteral("Дата и номер приказа об отчислении выпускника"),
        QStringLiteral("Подпись уполномоченного лица образовательной организации, выдающего диплом"),
        QStringLiteral("Подпись лица, которому выдан документ"),
    };
}

QString RegisterExport::tooLongText(const QString& fullName, const QString& regNumber, int column)
{
    // The value at fault may be the name itself: only its start is shown.
    const int shown = 60;
    QString name = fullName.simplified();
    if (name.size() > shown)
        name = name.left(shown) + QStringLiteral("…");
    if (name.isEmpty())
        name = QStringLiteral("без ФИО");
    if (!regNumber.trimmed().isEmpty())
        name += QStringLiteral(", рег. номер %1").arg(regNumber.trimmed().left(shown));
    return QStringLiteral("В документе «%1» значение столбца «%2» длиннее %3 знаков и не помещается в ячейку Excel. "
                          "Сократите его в документе и повторите экспорт.")
        .arg(name, headers().value(column - 1))
        .arg(QXlsx::Document::MaxTextLength);
}

QString RegisterExport::openingStageText()
{
    return QStringLiteral("Открытие базы данных…");
}

QString RegisterExport::rowsStageText()
{
    return QStringLiteral("Выгрузка документов в книгу Excel…");
}

QString RegisterExport::savingStageText()
{
    return QStringLiteral("Сохранение книги Excel…");
}

QDate RegisterExport::storedDate(const QString& text)
{
    // Dates are stored as "yyyy-MM-dd": read the digits where they stand.
    // Other texts, empty ones aside, go through the format parser, which is
    // slow (it consults the time zone) but decides them as it always has.
    if (text.isEmpty())
        return QDate();
    if (text.size() == 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        int digits[8];
        int count = 0;
        for (int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
            const ushort c = text.at(i).unicode();
            if (c < '0' || c > '9')
                break;
            digits[count++] = c - '0';
        }
        // A part out of range (month 13, 30 February, year 0) makes the date
        // invalid, as the parser's answer is.
        if (count == 8)
            return QDate(digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3], digits[4] * 10 + digits[5],
                         digits[6] * 10 + digits[7]);
    }
    return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
}

RegisterExport::Result RegisterExport::fail(const QSqlError& error)
{
    m_metDamage = DatabaseIntegrity::isDamage(error);
    // SQLite's result codes, as the driver passes them on.
    const QString code = error.nativeErrorCode();
    QString reason;
    if (m_metDamage || code == QLatin1String("26")) // SQLITE_NOTADB
        reason = QStringLiteral("файл базы данных повреждён");
    else if (code == QLatin1String("5") || code == QLatin1String("6")) // SQLITE_BUSY, SQLITE_LOCKED
        reason = QStringLiteral("база данных занята другой программой");
    else if (code == QLatin1String("1") || code == QLatin1String("17")) // SQLITE_ERROR, SQLITE_SCHEMA
        reason = QStringLiteral("таблица документов отсутствует или имеет неверную структуру");
    else if (code == QLatin1String("3") || code == QLatin1String("10") || code == QLatin1String("14")
             || code == QLatin1String("23")) // SQLITE_PERM, SQLITE_IOERR, SQLITE_CANTOPEN, SQLITE_AUTH
        reason = QStringLiteral("файл базы данных недоступен");
    else
        reason = QStringLiteral("ошибка базы данных");
    const QString detail = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    m_problem = QStringLiteral("Не удалось прочитать документы из базы данных: %1 (%2). Книга не сохранена.")
                    .arg(reason, detail.trimmed());
    return Result::Failed;
}

bool RegisterExport::write(const QString& path, const FilterList& filters, QString* problem)
{
    RegisterExport exporter(Database::databaseFileName(), filters);
    if (exporter.writeTo(path) == Result::Saved)
        return true;
    if (problem && !exporter.problem().isEmpty())
        *problem = exporter.problem();
    return false;
}

RegisterExport::Result RegisterExport::writeTo(const QString& path, LongTask* task)
{
    m_problem.clear();
    m_metDamage = false;
    if (task)
        task->beginStage(openingStageText());
    // A connection belongs to the thread that made it: each export makes its own.
    const PrivateConnection connection(m_databaseFile, QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!connection.isOpen()) {
        VLOG << "export: cannot open the database" << m_databaseFile << connection.openError().text();
        return fail(connection.openError());
    }
    return writeRows(connection.db(), path, task);
}

RegisterExport::Result RegisterExport::writeRows(const QSqlDatabase& db, const QString& path, LongTask* task)
{
    // The keys' range measures how far the rows have come, at no cost: the
    // table is read in the order of its keys.
    qint64 firstId = 0;
    qint64 lastId = -1;
    {
        QSqlQuery range(db);
        if (!range.exec(QStringLiteral("SELECT min(spoId), max(spoId) FROM SpoDocuments;"))) {
            VLOG << range.lastError().text() << range.lastQuery();
            return fail(range.lastError());
        }
        if (range.next() && !range.value(0).isNull()) {
            firstId = range.value(0).toLongLong();
            lastId = range.value(1).toLongLong();
        }
    }
    if (task && task->isCancelled())
        return Result::Cancelled;

    // Read once, front to back: a scrollable query would keep every row in memory.
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // An unreadable register must not pass for an empty one.
    if (!query.exec(QLatin1String(RowsQuery))) {
        VLOG << query.lastError().text() << query.lastQuery();
        return fail(query.lastError());
    }
    if (task)
        task->beginStage(rowsStageText(), lastId - firstId + 1);

    QXlsx::Document xlsx;
    xlsx.setColumnWidth(1, 1, 4);
    xlsx.setColumnWidth(2, 10, 20);
    xlsx.setRowHeight(1, 1, 70);
    QXlsx::Format format;
    format.setFontSize(10);
    format.setTextWrap(true);
    format.setHorizontalAlignment(QXlsx::Format::AlignHCenter);
    format.setVerticalAlignment(QXlsx::Format::AlignVCenter);
    xlsx.setColumnFormat(1, 10, format);

    // Written after the column format, so that the long headers wrap within
    // the row's 70 points rather than run off in the plain look.
    const QStringList titles = headers();
    for (int column = 0; column < titles.size(); ++column)
        xlsx.write(1, column + 1, titles.at(column));

    const auto text = [&query](Column column) { return query.value(column).toString(); };
    const QString blank = QStringLiteral(" ");
    const QString comma = QStringLiteral(", ");

    const DocumentFilter filter(m_filters);
    const bool active = filter.isActive();
    const bool comparesDates = filter.comparesDates();
    int sheetRow = 2;
    int read = 0;
    while (query.next()) {
        if (task && ++read % RowsPerStep == 0) {
            if (task->isCancelled())
                return Result::Cancelled;
            task->setProgress(query.value(SpoId).toLongLong() - firstId + 1);
        }
        const QString fullName = text(Fio1) + blank + text(Fio2) + blank + text(Fio3);
        const QString issued = text(IssueDate);
        const QString profession = text(ProfessionName);
        if (active && !filter.matches(fullName, comparesDates ? storedDate(issued) : QDate(), profession))
            continue;
        const QString regNumber = text(RegNumber);
        const QString values[] = {
            regNumber,
            fullName,
            text(Serial) + blank + text(Number) + comma + text(AdditionSerial) + blank + text(AdditionNumber),
            issued,
            profession,
            text(DecisionDate) + comma + regNumber,
            text(DeductionDate) + comma + text(DeductionNumber),
        };
        for (int i = 0; i < int(std::size(values)); ++i) {
            const int column = i + 2; // B .. H
            if (!QXlsx::Document::fitsInCell(values[i])) {
                VLOG << "export refused: value too long in column" << column << "of document" << regNumber;
                m_problem = tooLongText(fullName, regNumber, column);
                return Result::Failed;
            }
            xlsx.write(sheetRow, column, values[i]);
        }
        ++sheetRow;
    }
    // A read error ends the loop as the last row would: the rows written so
    // far must not be saved as if they were the whole register.
    if (query.lastError().isValid()) {
        VLOG << "export stopped: register read failed after" << sheetRow - 2 << "rows written:"
             << query.lastError().text();
        return fail(query.lastError());
    }
    // The workbook is packed before anything at path changes: a cancel asked
    // meanwhile still leaves path as it was.
    if (task)
        task->beginStage(savingStageText());
    const auto stillWanted = [task] { return !task || !task->isCancelled(); };
    if (xlsx.saveAs(path, stillWanted))
        return Result::Saved;
    return stillWanted() ? Result::Failed : Result::Cancelled;
}
