#include "product/RegisterExport.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "modules/FilterDockWidgetAbstract/DocumentFilter.h"
#include "product/XlsxDocument.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

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

QString RegisterExport::readFailedText()
{
    return QStringLiteral("Не удалось прочитать документы из базы данных: файл базы данных повреждён или недоступен. "
                          "Книга не сохранена.");
}

bool RegisterExport::write(const QString& path, const QList<QPair<QString, QVariant>>& filters, QString* problem)
{
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

    // Read once, front to back: a scrollable query would keep every row in memory.
    QSqlQuery query;
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT * FROM SpoDocuments WHERE isTemplate = 0;"));
    // An unreadable register must not pass for an empty one.
    if (!Database::execQuery(query)) {
        if (problem)
            *problem = readFailedText();
        return false;
    }
    const QSqlRecord record = query.record();
    const auto columnOf = [&record](const char* name) { return record.indexOf(QLatin1String(name)); };
    const int regNumber = columnOf("regNumber");
    const int fio1 = columnOf("fio1");
    const int fio2 = columnOf("fio2");
    const int fio3 = columnOf("fio3");
    const int serial = columnOf("serial");
    const int number = columnOf("number");
    const int additionSerial = columnOf("additionSerial");
    const int additionNumber = columnOf("additionNumber");
    const int issueDate = columnOf("issueDate");
    const int professionName = columnOf("professionName");
    const int decisionDate = columnOf("decisionDate");
    const int deductionDate = columnOf("deductionDate");
    const int deductionNumber = columnOf("deductionNumber");
    const auto text = [&query](int column) { return query.value(column).toString(); };
    const QString blank = QStringLiteral(" ");
    const QString comma = QStringLiteral(", ");

    const DocumentFilter filter(filters);
    const bool active = filter.isActive();
    const bool comparesDates = filter.comparesDates();
    int sheetRow = 2;
    while (query.next()) {
        const QString fullName = text(fio1) + blank + text(fio2) + blank + text(fio3);
        const QString issued = text(issueDate);
        const QString profession = text(professionName);
        if (active && !filter.matches(fullName, comparesDates ? storedDate(issued) : QDate(), profession))
            continue;
        const QStringList values = {
            text(regNumber),
            fullName,
            text(serial) + blank + text(number) + comma + text(additionSerial) + blank + text(additionNumber),
            issued,
            profession,
            text(decisionDate) + comma + text(regNumber),
            text(deductionDate) + comma + text(deductionNumber),
        };
        for (int i = 0; i < values.size(); ++i) {
            const int column = i + 2; // B .. H
            if (!QXlsx::Document::fitsInCell(values.at(i))) {
                VLOG << "export refused: value too long in column" << column << "of document" << text(regNumber);
                if (problem)
                    *problem = tooLongText(fullName, text(regNumber), column);
                return false;
            }
            xlsx.write(sheetRow, column, values.at(i));
        }
        ++sheetRow;
    }
    // A read error ends the loop as the last row would: the rows written so
    // far must not be saved as if they were the whole register.
    if (query.lastError().isValid()) {
        VLOG << "export stopped: register read failed after" << sheetRow - 2 << "rows written:"
             << query.lastError().text();
        if (problem)
            *problem = readFailedText();
        return false;
    }
    return xlsx.saveAs(path);
}
