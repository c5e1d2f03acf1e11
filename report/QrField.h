#pragma once

#include "report/AbstractField.h"
#include "report/QrStyle.h"

#include <QString>

// A QR code (level HIGH) of a literal text, drawn into the field's rectangle.
// Not stored in template files.
class QrField : public AbstractField
{
    Q_OBJECT

public:
    explicit QrField(QObject* parent = nullptr);

    int type() const override { return QrFieldType; }
    void prepare() override;
    void draw(QPainter* painter, double dotsPerMm, double yOffset) override;
    void writeStream(QDataStream& stream) const override;
    void readStream(QDataStream& stream) override;
    void readJson(const QJsonObject& object) override;
    void writeJson(QJsonObject& object) const override;

    // The text to encode, used literally (no "$V{" substitution).
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    QrStyle style() const { return m_style; }
    void setStyle(const QrStyle& style) { m_style = style; }

private:
    QString m_text;
    QrStyle m_style;
    // The last text that could not be encoded, so that redraws log it once.
    QString m_failedText;
    bool m_failed = false;
};
