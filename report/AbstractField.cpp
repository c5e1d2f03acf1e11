#include "report/AbstractField.h"

#include "report/ReportPage.h"

#include <QDataStream>
#include <QFontInfo>
#include <QJsonObject>
#include <QPainter>
#include <QPrinter>

#include <cmath>

namespace {
// What the default font printed as on the system the first templates were
// made on; such a string reads back as "no font of its own".
const QLatin1String legacyDefaultFont("MS Shell Dlg 2,8.25,-1,5,50,0,0,0,0,0");
}

AbstractField::AbstractField(QObject* parent)
    : QObject(parent)
{
}

AbstractField::~AbstractField() = default;

void AbstractField::writeStream(QDataStream& stream) const
{
    stream << m_x << m_y << m_width << m_height << qint32(m_wrap) << m_wordWrap << m_font
           << m_alignFlags;
}

void AbstractField::readStream(QDataStream& stream)
{
    qint32 wrap = 0;
    stream >> m_x >> m_y >> m_width >> m_height >> wrap >> m_wordWrap >> m_font >> m_alignFlags;
    m_wrap = wrap;
    for (double* length : {&m_x, &m_y, &m_width, &m_height})
        *length = saneLength(*length);
    if (!std::isfinite(m_font.pointSizeF()))
        m_font = QFont();
}

void AbstractField::readJson(const QJsonObject& object)
{
    m_x = saneLength(object.value(QLatin1String("x")).toDouble());
    m_y = saneLength(object.value(QLatin1String("y")).toDouble());
    m_width = saneLength(object.value(QLatin1String("width")).toDouble());
    m_height = saneLength(object.value(QLatin1String("height")).toDouble());
    m_wrap = object.value(QLatin1String("wrap")).toInt();
    m_wordWrap = object.value(QLatin1String("wordWrap")).toBool();
    m_alignFlags = quint16(object.value(QLatin1String("alignFlags")).toInt());

    const QString fontText = object.value(QLatin1String("font")).toString();
    QFont font;
    if (fontText != legacyDefaultFont)
        readFont(fontText, font);
    m_font = font;

    if (object.contains(QLatin1String("zOnEmpty")))
        m_zOnEmpty = object.value(QLatin1String("zOnEmpty")).toBool();
}

void AbstractField::writeJson(QJsonObject& object) const
{
    object.insert(QLatin1String("x"), m_x);
    object.insert(QLatin1String("y"), m_y);
    object.insert(QLatin1String("width"), m_width);
    object.insert(QLatin1String("height"), m_height);
    object.insert(QLatin1String("wrap"), m_wrap);
    object.insert(QLatin1String("wordWrap"), m_wordWrap);
    object.insert(QLatin1String("alignFlags"), int(m_alignFlags));
    // The default font's string differs between systems; leaving it out keeps
    // "use the page's default font" wherever the template is opened.
    if (!(m_font == QFont()))
        object.insert(QLatin1String("font"), m_font.toString());
    if (m_zOnEmpty)
        object.insert(QLatin1String("zOnEmpty"), true);
}

QFont AbstractField::effectiveFont() const
{
    if (m_page && m_font == QFont())
        return m_page->defaultFont();
    return m_font;
}

QFont AbstractField::scaledFont(double dotsPerMm) const
{
    QFont font = effectiveFont();
    const double pointSize = QFontInfo(font).pointSizeF();
    // A pixel size below 1 is refused by QFont; such scales draw nothing
    // readable anyway. Huge sizes are bounded before the conversion.
    const double pixels = pointSize * dotsPerMm * 25.399931 / 72.0;
    font.setPixelSize(std::isfinite(pixels) ? int(qBound(1.0, pixels, double(maxPixelSize))) : 1);
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

double AbstractField::saneLength(double mm)
{
    return std::isfinite(mm) ? qBound(-maxLength, mm, maxLength) : 0.0;
}

bool AbstractField::readFont(const QString& text, QFont& font)
{
    // Font matching takes time quadratic in the family name's length.
    if (text.isEmpty() || text.size() > maxFontTextLength)
        return false;
    QFont read = font;
    // "inf" passes QFont's own check of the size.
    if (!read.fromString(text) || !std::isfinite(read.pointSizeF()))
        return false;
    font = read;
    return true;
}

QString AbstractField::boundedText(const QString& text)
{
    if (text.size() <= maxTextLength)
        return text;
    int length = maxTextLength;
    if (text.at(length - 1).isHighSurrogate())
        --length;   // never half a character
    return text.left(length);
}

bool AbstractField::isPrinterDevice(QPainter* painter)
{
    if (!painter || !painter->device())
        return false;
    return dynamic_cast<QPrinter*>(painter->device()) != nullptr;
}
