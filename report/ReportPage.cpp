#include "report/ReportPage.h"

#include "report/AbstractField.h"
#include "report/ReportFile.h"
#include "report/TableField.h"

#include <QAbstractItemModel>
#include <QImage>
#include <QJsonObject>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>

ReportPage::ReportPage(QObject* parent)
    : QObject(parent)
    , m_defaultFont(QStringLiteral("Times New Roman"), 14)
    , m_printer(new QPrinter(QPrinter::ScreenResolution))
{
    m_printer->setPageSize(QPageSize(QPageSize::A4));
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_printer->setFullPage(true);
}

ReportPage::~ReportPage()
{
    qDeleteAll(m_fields);
    m_fields.clear();
}

void ReportPage::addField(AbstractField* field)
{
    if (!field)
        return;
    field->setPage(this);
    m_fields.append(field);
}

void ReportPage::setOrientation(int orientation)
{
    m_orientation = orientation;
    m_printer->setPageOrientation(orientation == 0 ? QPageLayout::Portrait
                                                   : QPageLayout::Landscape);
}

void ReportPage::setPageSize(int pageSize)
{
    m_pageSize = pageSize;
    // Codes outside the known sizes (and "custom") have no size to set.
    if (pageSize >= 0 && pageSize <= int(QPageSize::LastPageSize)
        && pageSize != int(QPageSize::Custom))
        m_printer->setPageSize(QPageSize(QPageSize::PageSizeId(pageSize)));
}

double ReportPage::dotsPerMm() const
{
    // The divisor is the one every stored layout was measured with.
    return m_printer->logicalDpiX() / 25.399931;
}

bool ReportPage::loadBackgroundImage(const QString& fileName)
{
    return loadBackground(fileName, m_backgroundImage);
}

bool ReportPage::loadBackgroundImage2(const QString& fileName)
{
    return loadBackground(fileName, m_backgroundImage2);
}

bool ReportPage::loadBackground(const QString& fileName, QPixmap& target)
{
    const QImage image(fileName);
    if (image.isNull())
        return false;
    const QRect paper = m_printer->pageLayout().fullRectPixels(m_printer->resolution());
    target = QPixmap::fromImage(
        image.scaled(paper.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return true;
}

void ReportPage::setVariable(const QString& name, const QVariant& value)
{
    m_variables.insert(name.trimmed().toLower(), value);
    emit dataUpdated();
}

QString ReportPage::substituteVariables(const QString& text)
{
    bool stopped = false;
    QString s = replaceTokens(
        text, QStringLiteral("$V{"),
        [this](const QString& name) {
            // Reading a missing variable adds it (with no value), so the
            // designer lists every name a template asked for.
            return m_variables[name.trimmed().toLower()].toString();
        },
        &stopped);
    if (stopped)
        return s;
    s.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return s;
}

QString ReportPage::replaceTokens(const QString& text, const QString& opener,
                                  const std::function<QString(const QString&)>& lookup,
                                  bool* stopped)
{
    if (stopped)
        *stopped = false;
    QString s = text;
    if (opener.isEmpty())
        return s;
    int pos = 0;
    for (;;) {
        const int start = s.indexOf(opener, pos);
        if (start < 0)
            break;
        // The first closing brace after the scan position must close this
        // token; one standing before it (or none at all) ends the scan.
        const int end = s.indexOf(QLatin1Char('}'), pos);
        const int nameStart = start + opener.size();
        if (end < nameStart) {
            if (stopped)
                *stopped = true;
            return s;
        }
        const QString value = lookup ? lookup(s.mid(nameStart, end - nameStart)) : QString();
        s.replace(start, end - start + 1, value);
        // Scan on after the value: a value is data, never template text.
        pos = start + value.size();
    }
    return s;
}

QObject* ReportPage::model(const QString& name) const
{
    return m_models.value(name.trimmed().toLower()).data();
}

QAbstractItemModel* ReportPage::itemModel(const QString& name) const
{
    return qobject_cast<QAbstractItemModel*>(model(name));
}

QMap<QString, QObject*> ReportPage::models() const
{
    QMap<QString, QObject*> result;
    for (auto it = m_models.cbegin(); it != m_models.cend(); ++it) {
        if (it.value())
            result.insert(it.key(), it.value().data());
    }
    return result;
}

bool ReportPage::addModel(const QString& name, QObject* model, bool takeOwnership)
{
    m_models.insert(name.trimmed().toLower(), QPointer<QObject>(model));
    if (takeOwnership && model)
        model->setParent(this);
    rebindTables();
    emit dataUpdated();
    return true;
}

void ReportPage::rebindTables()
{
    for (AbstractField* field : qAsConst(m_fields)) {
        if (field && field->type() == AbstractField::TableFieldType)
            static_cast<TableField*>(field)->rebind();
    }
}

bool ReportPage::load(const QString& fileName)
{
    return ReportFile::load(*this, fileName);
}

bool ReportPage::save(const QString& fileName) const
{
    return ReportFile::save(*this, fileName);
}

void ReportPage::read(const QJsonObject& object)
{
    ReportFile::read(*this, object);
}

void ReportPage::write(QJsonObject& object) const
{
    ReportFile::write(*this, object);
}
