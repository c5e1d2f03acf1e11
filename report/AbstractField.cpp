#include "report/AbstractField.h"

#include "report/ReportPage.h"

#include <QDataStream>
#include <QFontInfo>
#include <QJsonObject>
#include <QPaintDevice>
#include <QPainter>

AbstractField::AbstractField(QObject* parent)
    : QObject(parent)
{
}

AbstractField::~AbstractField() = default;

void AbstractField::writeStream(QDataStream&) const {}
void AbstractField::readStream(QDataStream&) {}
void AbstractField::readJson(const QJsonObject&) {}
void AbstractField::writeJson(QJsonObject&) const {}

QFont AbstractField::effectiveFont() const
{
    if (m_font == QFont() && m_page)
        return m_page->defaultFont();
    return m_font;
}

QFont AbstractField::scaledFont(double dotsPerMm) const
{
    QFont font = effectiveFont();
    const double pointSize = QFontInfo(font).pointSizeF();
    font.setPixelSize(qMax(1, int(pointSize * dotsPerMm * 25.399931 / 72.0)));
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

int AbstractField::textFlags(int flags) const
{
    int result = (flags & 0xFFFF) ? flags : int(m_alignFlags);
    if (m_wordWrap)
        result |= Qt::TextWordWrap;
    else
        result &= ~int(Qt::TextWordWrap);
    return result;
}

bool AbstractField::isPrinterDevice(QPainter* painter)
{
    if (!painter || !painter->device())
        return false;
    return false;
}
