#pragma once

#include "report/AbstractField.h"

#include <QString>

// A block of rich text; in data mode its "$V{" tokens are filled from the
// page's report variables.
class TextField : public AbstractField
{
    Q_OBJECT

public:
    explicit TextField(QObject* parent = nullptr);

    int type() const override { return TextFieldType; }
    void prepare() override;
    void draw(QPainter* painter, double dotsPerMm, double yOffset) override;
    void writeStream(QDataStream& stream) const override;
    void readStream(QDataStream& stream) override;
    void readJson(const QJsonObject& object) override;
    void writeJson(QJsonObject& object) const override;

    // The template text; may hold "$V{" tokens and HTML markup.
    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    // First-line indent, mm.
    double indent() const { return m_indent; }
    void setIndent(double indent) { m_indent = indent; }
    // Line height, mm; 0 keeps the font's natural line height.
    double lineHeight() const { return m_lineHeight; }
    void setLineHeight(double lineHeight) { m_lineHeight = lineHeight; }
    // Greatest line height drawn, mm.
    static constexpr double maxLineHeight = 100.0;

private:
    QString m_text;
    double m_indent = 0.0;
    double m_lineHeight = 0.0;
};
