#include "report/ReportPage.h"

#include "report/AbstractField.h"

#include <QAbstractItemModel>
#include <QJsonObject>
#include <QPrinter>

ReportPage::ReportPage(QObject* parent)
    : QObject(parent)
    , m_defaultFont(QStringLiteral("Times New Roman"), 14)
    , m_printer(new QPrinter(QPrinter::ScreenResolution))
{
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

void ReportPage::setOrientation(int orientation) { m_orientation = orientation; }
void ReportPage::setPageSize(int pageSize) { m_pageSize = pageSize; }
double ReportPage::dotsPerMm() const { return m_printer->logicalDpiX() / 25.399931; }
bool ReportPage::loadBackgroundImage(const QString& fileName) { return loadBackground(fileName, m_backgroundImage); }
bool ReportPage::loadBackgroundImage2(const QString& fileName) { return loadBackground(fileName, m_backgroundImage2); }
bool ReportPage::loadBackground(const QString&, QPixmap&) { return false; }
void ReportPage::setVariable(const QString& name, const QVariant& value) { m_variables[name.trimmed().toLower()] = value; emit dataUpdated(); }
QString ReportPage::substituteVariables(const QString& text) { return text; }
QString ReportPage::replaceTokens(const QString& text, const QString&, const std::function<QString(const QString&)>&, bool* stopped)
{
    if (stopped)
        *stopped = false;
    return text;
}
QObject* ReportPage::model(const QString& name) const { return m_models.value(name.trimmed().toLower()).data(); }
QAbstractItemModel* ReportPage::itemModel(const QString& name) const { return qobject_cast<QAbstractItemModel*>(model(name)); }
QMap<QString, QObject*> ReportPage::models() const { return {}; }
bool ReportPage::addModel(const QString& name, QObject* model, bool) { m_models[name.trimmed().toLower()] = model; emit dataUpdated(); return true; }
bool ReportPage::load(const QString&) { return false; }
bool ReportPage::save(const QString&) const { return false; }
void ReportPage::read(const QJsonObject&) {}
void ReportPage::write(QJsonObject&) const {}
