// Prints a two-sheet supplement of 80 subject rows through ReportPage::renderPage
// into a PDF printer and compares the time per sheet with a baseline that
// draws the same strings at the same positions with plain QPainter::drawText.
//
// The printed document's name and numbers come from a register of the given
// number of documents.
//
// Usage: bench_print [documents [iterations [output folder]]]   (defaults
// 20000 and 20; the PDFs are kept in the output folder when one is given)

#include "BenchSupport.h"
#include "engine/Database.h"
#include "support/TestEnvironment.h"
#include "report/ReportPage.h"
#include "report/TableField.h"
#include "report/TextField.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QPrinter>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

using namespace BenchSupport;

namespace {

const int subjectRows = 80;
const double sheetHeight = 210.0;   // landscape A4, mm

struct Placed
{
    QRectF rect;   // device units, relative to the sheet
    int flags;
    QString text;
    QFont font;
};

TextField* addText(ReportPage& page, double x, double y, double w, const QString& text)
{
    auto* field = new TextField;
    field->setX(x);
    field->setY(y);
    field->setWidth(w);
    field->setHeight(8);
    field->setText(text);
    page.addField(field);
    return field;
}

// The supplement: names, numbers and dates on both sheets, and the subjects
// table: on sheet 0 its left half, then on sheet 1 the left and right halves.
TableField* buildTemplate(ReportPage& page, QStandardItemModel& model)
{
    page.setPagesCount(2);
    page.setDataMode(true);
    const QStringList sheet0 = {
        QStringLiteral("$V{Last_Name}"), QStringLiteral("$V{First_Name} $V{Middle_Name}"),
        QStringLiteral("$V{birth}"), QStringLiteral("$V{previous_Education}"),
        QStringLiteral("$V{profession_Code} $V{profession_Name}"), QStringLiteral("$V{qual}"),
        QStringLiteral("$V{City}"), QStringLiteral("$V{reg_Number}"), QStringLiteral("$V{Issue_Out}"),
        QStringLiteral("$V{OrgName}"),
    };
    for (int i = 0; i < sheet0.size(); ++i)
        addText(page, 160, 20 + i * 12, 120, sheet0.at(i));
    addText(page, 15, 20, 130, QStringLiteral("Приложение к диплому $V{Number}"));
    addText(page, 15, 190, 130, QStringLiteral("$V{Boss1_short}"));
    addText(page, 15, sheetHeight + 5, 130, QStringLiteral("$V{Full_Name_short} $V{Number}"));
    addText(page, 160, sheetHeight + 195, 120, QStringLiteral("$V{Boss2_short}"));

    const QList<QPair<QString, QString>> variables = {
        {"Last_Name", "Иванова"}, {"First_Name", "Мария"}, {"Middle_Name", "Петровна"},
        {"Full_Name_short", "Иванова М.П."}, {"Number", "1234567"}, {"reg_Number", "42-р"},
        {"Issue_Out", "12 декабря 2014"}, {"birth", "09 января 1996"},
        {"profession_Code", "09.02.03"}, {"profession_Name", "Программирование в компьютерных системах"},
        {"qual", "Техник-программист"}, {"previous_Education", "основное общее образование"},
        {"City", "Москва"}, {"OrgName", "ГБПОУ Колледж № 1"}, {"Boss1_short", "Сидоров П.И."},
        {"Boss2_short", "О'Нил А."},
    };
    for (const auto& variable : variables)
        page.setVariable(variable.first, variable.second);

    model.setColumnCount(3);
    model.setRowCount(subjectRows);
    model.setHorizontalHeaderLabels({"col1", "col2", "col3"});
    const QStringList grades = {"отлично", "хорошо", "удовлетворительно", "зачтено"};
    for (int r = 0; r < subjectRows; ++r) {
        model.setItem(r, 0, new QStandardItem(QStringLiteral("Дисциплина учебного плана номер %1").arg(r + 1)));
        model.setItem(r, 1, new QStandardItem(QString::number(36 + r % 5 * 18)));
        model.setItem(r, 2, new QStandardItem(grades.at(r % grades.size())));
    }

    auto* table = new TableField;
    table->setX(15);
    table->setY(35);
    table->setColumnCount(3);
    table->setColumnsWidth({90, 18, 27});
    table->setHeaderNames({QStringLiteral("Наименование"), QStringLiteral("Часы"), QStringLiteral("Оценка")});
    table->setColumnIds({"$D{Subjects.col1}", "$D{Subjects.col2}", "$D{Subjects.col3}"});
    table->setHeaderHeight(8);
    table->setRowHeight(4.5);
    table->setAlignFlags(Qt::AlignLeft | Qt::AlignVCenter);
    table->setWordWrap(true);
    table->setSplitsCount(2);
    table->setMaxSplitHeight({150, 190});
    table->setSplitX({15, 155});
    table->setSplitY({sheetHeight + 12, sheetHeight + 12});
    table->setModelName(QStringLiteral("Subjects"));
    QFont font(QStringLiteral("Times New Roman"));
    font.setPointSize(10);
    table->setFont(font);
    page.addField(table);
    page.addModel(QStringLiteral("Subjects"), &model, false);
    return table;
}

// The same strings, at the same places, that the report draws on the sheet.
QVector<Placed> baselineStrings(ReportPage& page, TableField* table, int sheet)
{
    const double dpm = page.dotsPerMm();
    const double yOffset = sheet * page.printer()->height();
    QVector<Placed> out;
    for (AbstractField* field : page.fields()) {
        if (field->type() != AbstractField::TextFieldType)
            continue;
        auto* text = static_cast<TextField*>(field);
        const QRectF rect(text->x() * dpm, text->y() * dpm - yOffset, text->width() * dpm,
                          text->height() * dpm);
        if (rect.bottom() <= 0)
            continue;
        out.append({rect, int(Qt::AlignLeft | Qt::AlignTop), page.substituteVariables(text->text()),
                    text->scaledFont(dpm)});
    }

    // Cells follow the table's own layout: the header in the first area, the
    // rows area by area.
    const QFont font = table->scaledFont(dpm);
    const double p = 0.3 * dpm;
    const int flags = table->textFlags(0) & 0xFFFF;
    const QVector<double>& widths = table->widths();
    auto addRow = [&](double x, double y, double h, const QVector<QString>& texts) {
        for (int c = 0; c < widths.size(); ++c) {
            const double w = widths.at(c) * dpm;
            out.append({QRectF(x + p, y + p, w - 2 * p, h - p), flags, texts.value(c), font});
            x += w;
        }
    };
    double x = table->x() * dpm;
    double y = table->y() * dpm - yOffset;
    addRow(x, y, table->headerHeightUsed() * dpm, table->headerNames());
    double used = table->headerHeightUsed();
    y += used * dpm;
    int area = 0;
    for (int r = 0; r < table->rowCount(); ++r) {
        const double h = table->rowHeights().at(r);
        if (area < table->splitsCount() && table->maxSplitHeightAt(area) <= used + h) {
            x = table->splitXAt(area) * dpm;
            y = table->splitYAt(area) * dpm - yOffset;
            ++area;
            used = 0;
        }
        addRow(x, y, h * dpm, table->cells().at(r));
        y += h * dpm;
        used += h;
    }
    return out;
}

void drawBaseline(QPrinter* printer, const QVector<Placed>& strings)
{
    QPainter painter(printer);
    for (const Placed& placed : strings) {
        if (placed.rect.bottom() <= 0 || placed.rect.top() >= printer->height())
            continue;
        painter.setFont(placed.font);
        painter.drawText(placed.rect, placed.flags, placed.text);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const int documents = BenchSupport::argument(argc, argv, 1, 20000);
    const int iterations = BenchSupport::argument(argc, argv, 2, 20);
    TestEnvironment environment;
    BenchSupport::preferOffscreen();
    QApplication app(argc, argv);
    if (!Database::init(true) || !BenchSupport::fillDocuments(documents))
        return 1;

    QTemporaryDir temporary;
    const QDir dir(argc > 3 ? QString::fromLocal8Bit(argv[3]) : temporary.path());
    ReportPage page;
    QStandardItemModel model;
    TableField* table = buildTemplate(page, model);
    QSqlQuery document;
    document.prepare(QStringLiteral("SELECT fio1, number, regNumber FROM SpoDocuments WHERE spoId = ?"));
    document.addBindValue(documents / 2 + 1);
    if (!document.exec() || !document.next())
        return 1;
    page.setVariable(QStringLiteral("Last_Name"), document.value(0));
    page.setVariable(QStringLiteral("Number"), document.value(1));
    page.setVariable(QStringLiteral("reg_Number"), document.value(2));
    QPrinter* printer = page.printer();
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setFullPage(true);

    // Lay the table out once, so the baseline knows where every string goes.
    printer->setOutputFileName(dir.filePath("warm.pdf"));
    page.setPageIndex(0);
    page.renderPage(printer);
    if (table->overflow() || table->rowCount() != subjectRows) {
        std::fprintf(stderr, "template does not hold the %d rows\n", subjectRows);
        return 1;
    }

    QTextStream out(stdout);
    out << "two-sheet supplement, " << subjectRows << " subject rows, " << iterations
        << " iterations per sheet, PDF printer at " << printer->resolution() << " dpi\n";
    double totalReport = 0;
    double totalBaseline = 0;
    for (int sheet = 0; sheet < 2; ++sheet) {
        const QVector<Placed> strings = baselineStrings(page, table, sheet);
        QVector<double> report;
        QVector<double> baseline;
        // Alternate the two, so neither gets a warmer cache or disk.
        for (int i = 0; i < iterations + 1; ++i) {
            QElapsedTimer timer;
            printer->setOutputFileName(dir.filePath(QStringLiteral("report-%1.pdf").arg(sheet)));
            page.setPageIndex(sheet);
            timer.start();
            page.renderPage(printer);
            const double r = timer.nsecsElapsed() / 1e6;

            printer->setOutputFileName(dir.filePath(QStringLiteral("baseline-%1.pdf").arg(sheet)));
            timer.restart();
            drawBaseline(printer, strings);
            const double b = timer.nsecsElapsed() / 1e6;
            if (i > 0) {   // the first round warms the font caches
                report.append(r);
                baseline.append(b);
            }
        }
        const double r = median(report);
        const double b = median(baseline);
        totalReport += r;
        totalBaseline += b;
        out << QStringLiteral("sheet %1: renderPage %2 ms, drawText baseline %3 ms (%4 strings), ratio %5\n")
                   .arg(sheet + 1)
                   .arg(r, 0, 'f', 2)
                   .arg(b, 0, 'f', 2)
                   .arg(strings.size())
                   .arg(b > 0 ? r / b : 0.0, 0, 'f', 2);
    }
    out << QStringLiteral("per sheet: renderPage %1 ms, baseline %2 ms, ratio %3 (aim <= 1.2)\n")
               .arg(totalReport / 2, 0, 'f', 2)
               .arg(totalBaseline / 2, 0, 'f', 2)
               .arg(totalBaseline > 0 ? totalReport / totalBaseline : 0.0, 0, 'f', 2);
    return 0;
}
