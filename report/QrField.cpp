#include "report/QrField.h"

#include "report/ReportPage.h"

#include <QDataStream>
#include <QDebug>
#include <QJsonObject>
#include <QPainter>

#include <qrcodegen.hpp>

#include <exception>

QrField::QrField(QObject* parent)
    : AbstractField(parent)
{
}

void QrField::prepare()
{
    m_prepared = true;
}

void QrField::draw(QPainter* painter, double dotsPerMm, double yOffset)
{
    ReportPage* const reportPage = page();
    if (!painter || !reportPage)
        return;
    if (dotsPerMm < 0)
        dotsPerMm = reportPage->dotsPerMm();
    const QRectF target(m_x * dotsPerMm, m_y * dotsPerMm - yOffset, m_width * dotsPerMm,
                        m_height * dotsPerMm);
    // Wholly above or below the current sheet: nothing of it would show.
    const QRectF area = ReportPage::visibleArea(painter);
    if (target.bottom() <= area.top() || target.top() >= area.bottom())
        return;

    // The library reports a text too long for the largest symbol by throwing;
    // such a field draws nothing and says so once per text in the log.
    try {
        const QByteArray utf8 = m_text.toUtf8();
        const qrcodegen::QrCode code =
            qrcodegen::QrCode::encodeText(utf8.constData(), qrcodegen::QrCode::Ecc::HIGH);
        m_failed = false;
        m_style.paint(code, painter, target);
    } catch (const std::exception& e) {
        if (!m_failed || m_failedText != m_text)
            qWarning() << "QR code not drawn:" << e.what() << "text length" << m_text.size();
        m_failed = true;
        m_failedText = m_text;
    }
}

void QrField::writeStream(QDataStream& stream) const
{
    AbstractField::writeStream(stream);
    stream << m_text;
}

void QrField::readStream(QDataStream& stream)
{
    AbstractField::readStream(stream);
    stream >> m_text;
}

void QrField::readJson(const QJsonObject& object)
{
    AbstractField::readJson(object);
    m_text = object.value(QLatin1String("id")).toString();
}

void QrField::writeJson(QJsonObject& object) const
{
    AbstractField::writeJson(object);
    object.insert(QLatin1String("id"), m_text);
}
