#include "SamplePreview.h"

#include "report/AbstractField.h"
#include "report/ReportPage.h"

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QStandardItemModel>

namespace {

constexpr double kDotsPerMm = 4.0;

void setSampleVariables(ReportPage& page)
{
    const QList<QPair<const char*, const char*>> values = {
        {"Last_Name", "Константинопольская"},
        {"First_Name", "Александра"},
        {"Middle_Name", "Вячеславовна"},
        {"Full_Name", "Константинопольская Александра Вячеславовна"},
        {"Full_Name_short", "Константинопольская А.В."},
        {"Number", "0123456"},
        {"reg_Number", "2015/1234"},
        {"decision_Date", "25 июня 2015"},
        {"decision_Date_digit", "25.06.2015"},
        {"Issue_Out", "30 июня 2015"},
        {"Issue_Out_digit", "30.06.2015"},
        {"Issue_Out_year", "2015"},
        {"birth", "09 января 1996"},
        {"birth_digit", "09.01.1996"},
        {"Reg_Number", "2015/1234"},
        {"profession_Code", "09.02.03"},
        {"profession_Name", "Программирование в компьютерных системах"},
        {"qual", "Техник-программист"},
        {"program_Type", "специальности"},
        {"previous_Education", "Аттестат об основном общем образовании, 2011 год"},
        {"total_Count", "3 года 10 месяцев"},
        {"attestation_Total_Count", "6 нед."},
        {"practice_Total_Count", "29 нед."},
        {"comment", "Освоен факультатив «Основы предпринимательской деятельности» в объёме 36 часов."},
        {"text_for_addition", "о среднем профессиональном образовании<br>с отличием"},
        {"is_excellent", "с отличием"},
        {"is_duplicate", "ДУБЛИКАТ"},
        {"Boss1_short", "Сидоров П.И."},
        {"Boss1", "Сидоров Пётр Ильич"},
        {"Boss2_short", "Кузнецова Е.А."},
        {"Boss2", "Кузнецова Елена Андреевна"},
        {"City", "Нижний Новгород"},
        {"OrgName", "Государственное бюджетное профессиональное образовательное учреждение "
                    "«Нижегородский колледж информационных технологий»"},
    };
    for (const auto& value : values)
        page.setVariable(QString::fromUtf8(value.first), QString::fromUtf8(value.second));
}

QStandardItemModel* sampleModel(ReportPage& page, const QStringList& columns, const QList<QStringList>& rows)
{
    auto* model = new QStandardItemModel(0, columns.size(), &page);
    model->setHorizontalHeaderLabels(columns);
    for (const QStringList& row : rows) {
        QList<QStandardItem*> items;
        for (const QString& value : row)
            items.append(new QStandardItem(value));
        model->appendRow(items);
    }
    return model;
}

void bindSampleModels(ReportPage& page)
{
    QList<QStringList> subjects;
    const QStringList disciplines = {
        "Русский язык", "Литература", "Иностранный язык", "История", "Обществознание (включая экономику и право)",
        "Химия", "Биология", "Физическая культура", "Основы безопасности жизнедеятельности", "Математика",
        "Информатика и ИКТ", "Физика", "Основы философии", "Психология общения",
        "Элементы математической логики", "Теория вероятностей и математическая статистика",
        "Операционные системы", "Архитектура компьютерных систем", "Технические средства информатизации",
        "Информационные технологии", "Основы программирования", "Основы экономики",
        "Правовое обеспечение профессиональной деятельности", "Теория алгоритмов", "Безопасность жизнедеятельности"};
    const QStringList grades = {"отлично", "хорошо", "удовлетворительно", "зачтено"};
    for (int i = 0; i < disciplines.size(); ++i)
        subjects.append({"1", disciplines.at(i), QString::number(36 + 12 * (i % 7)), grades.at(i % grades.size())});
    subjects.append({"1", "", "", ""});
    subjects.append({"1", "ПМ.01 Разработка программных модулей программного обеспечения для компьютерных систем",
                     "612", "отлично"});
    subjects.append({"1", "    МДК.01.01 Системное программирование", "180", "хорошо"});
    subjects.append({"1", "    МДК.01.02 Прикладное программирование", "252", "Удовлетворительно"});
    subjects.append({"1", "", "", ""});
    subjects.append({"1", "ПМ.02 Разработка и администрирование баз данных", "420", "отлично"});
    subjects.append({"1", "    МДК.02.01 Инфокоммуникационные системы и сети", "144", "отлично"});
    subjects.append({"1", "    МДК.02.02 Технология разработки и защиты баз данных", "216", "хорошо"});
    subjects.append({"1", "", "", ""});
    subjects.append({"1", "ВСЕГО часов теоретического обучения:", "4464", "х"});
    subjects.append({"1", "в том числе аудиторных часов:", "2976", "х"});
    subjects.append({"1", "Практика\nв том числе:", "29 нед.", "х"});
    subjects.append({"1", "Учебная практика", "9 нед.", "отлично"});
    subjects.append({"1", "Производственная практика (по профилю специальности)", "16 нед.", "отлично"});
    subjects.append({"1", "Государственная итоговая аттестация\nв том числе:", "6 нед.", "х"});
    subjects.append({"1", "Выпускная квалификационная работа «Разработка информационной системы учёта заявок»",
                     "x", "отлично"});
    page.addModel(QStringLiteral("ViewSpoDetails"),
                  sampleModel(page, {"spoId", "col1", "col2", "col3"}, subjects), true);

    page.addModel(QStringLiteral("ViewSpoCourseworks"),
                  sampleModel(page, {"spoId", "cwName", "cwRate"},
                              {{"1", "Разработка приложения для учёта успеваемости студентов", "отлично"},
                               {"1", "Проектирование базы данных библиотеки", "хорошо"}}),
                  true);
}

} // namespace

QStringList renderPreview(ReportPage& page, const QString& name, const QString& outputDir)
{
    setSampleVariables(page);
    bindSampleModels(page);
    page.setDataMode(true);

    QStringList written;
    QDir().mkpath(outputDir);
    const QSize size(qRound(297 * kDotsPerMm), qRound(210 * kDotsPerMm));
    for (int side = 0; side < page.pagesCount(); ++side) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        // The blank's drawing, on the two sides that the printer gives one.
        const QPixmap background = side == 0 ? page.backgroundImage() : side == 1 ? page.backgroundImage2() : QPixmap();
        if (!background.isNull())
            painter.drawPixmap(image.rect(), background, background.rect());
        // The fold and the sheet's edge, for orientation only.
        painter.setPen(QPen(QColor(200, 200, 255), 1, Qt::DashLine));
        painter.drawLine(size.width() / 2, 0, size.width() / 2, size.height());
        painter.drawRect(0, 0, size.width() - 1, size.height() - 1);
        const double yOffset = side * 210 * kDotsPerMm;
        for (AbstractField* field : page.fields())
            field->draw(&painter, kDotsPerMm, yOffset);
        painter.end();
        const QString file = QDir(outputDir).filePath(QStringLiteral("%1-%2.png").arg(name).arg(side + 1));
        if (image.save(file, "PNG"))
            written.append(file);
    }
    return written;
}
