#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>

class QDataStream;
class QJsonObject;
class QPainter;
class ReportPage;

// One element of a report template: a rectangle in millimetres on the page
// strip (sheet 0 on top, the following sheets below it) that lays itself out
// and draws itself with a QPainter at any scale.
class AbstractField : public QObject
{
    Q_OBJECT

public:
    // Kind codes returned by type().
    enum FieldType {
        TextFieldType = 1,
        TableFieldType = 2,
        QrFieldType = 3
    };

    explicit AbstractField(QObject* parent = nullptr);
    ~AbstractField() override;

    virtual int type() const = 0;
    // Lays the field out for drawing.
    virtual void prepare() = 0;
    // dotsPerMm: device units per millimetre (a negative value takes the page's);
    // yOffset: device y at which the current sheet starts. A field without a
    // page draws nothing.
    virtual void draw(QPainter* painter, double dotsPerMm, double yOffset) = 0;
    // Binary form: x, y, width, height, wrap, wordWrap, font, alignFlags.
    virtual void writeStream(QDataStream& stream) const;
    virtual void readStream(QDataStream& stream);
    // JSON form: the keys common to every field kind.
    virtual void readJson(const QJsonObject& object);
    virtual void writeJson(QJsonObject& object) const;

    // Geometry, millimetres.
    double x() const { return m_x; }
    void setX(double x) { m_x = x; }
    double y() const { return m_y; }
    void setY(double y) { m_y = y; }
    double width() const { return m_width; }
    void setWidth(double width) { m_width = width; }
    double height() const { return m_height; }
    void setHeight(double height) { m_height = height; }

    int wrap() const { return m_wrap; }
    void setWrap(int wrap) { m_wrap = wrap; }
    // A font equal to QFont() means "use the page's default font".
    QFont font() const { return m_font; }
    void setFont(const QFont& font) { m_font = font; }
    quint16 alignFlags() const { return m_alignFlags; }
    void setAlignFlags(quint16 flags) { m_alignFlags = flags; }
    ReportPage* page() const { return m_page.data(); }
    void setPage(ReportPage* page) { m_page = page; }
    bool wordWrap() const { return m_wordWrap; }
    void setWordWrap(bool on) { m_wordWrap = on; }
    bool zOnEmpty() const { return m_zOnEmpty; }
    void setZOnEmpty(bool on) { m_zOnEmpty = on; }
    bool prepared() const { return m_prepared; }
    void setPrepared(bool prepared) { m_prepared = prepared; }

    // The page's defaultFont when the own font is the default-constructed one
    // and the field has a page; otherwise the own font.
    QFont effectiveFont() const;
    // The effective font with pixel size int(pointSizeF * dotsPerMm * 25.399931 / 72)
    // and no hinting.
    QFont scaledFont(double dotsPerMm) const;
    // flags, or alignFlags when the low 16 bits of flags are 0; Qt::TextWordWrap
    // set or cleared by wordWrap.
    int textFlags(int flags) const;
    // True when the painter paints on a printer (paper or print preview).
    static bool isPrinterDevice(QPainter* painter);

    // Lengths read from a file are kept within +-maxLength mm (ten metres,
    // far beyond any blank), so that in device units they stay well inside
    // int and inside Qt's fixed-point layout; a value that is no finite
    // number counts as 0.
    static constexpr double maxLength = 10000.0;
    static double saneLength(double mm);
    // A length a template file keeps as it is (what the designer may take).
    static bool isKeptLength(double mm) { return saneLength(mm) == mm; }
    // Font sizes are kept at or below this many device pixels.
    static constexpr int maxPixelSize = 500;
    // No field of a blank shows more characters than this; longer texts are
    // cut there before Qt lays them out (which takes seconds per draw for
    // texts of hundreds of thousands of characters, and never ends once the
    // lines add up to more than about 2^23 pixels).
    static constexpr int maxTextLength = 5000;
    static QString boundedText(const QString& text);
    // Reads a QFont::toString() form into font; false, and font as it was,
    // for a string that is empty, so long that font matching stalls on it
    // (no font has such a name), no font, or one whose size is no number.
    static constexpr int maxFontTextLength = 300;
    static bool readFont(const QString& text, QFont& font);

signals:
    void fieldChanged();

protected:
    double m_x = 0.0;
    double m_y = 0.0;
    double m_width = 20.0;
    double m_height = 6.0;
    int m_wrap = 0;
    QFont m_font;
    quint16 m_alignFlags = 0;
    QPointer<ReportPage> m_page;
    bool m_wordWrap = false;
    bool m_zOnEmpty = false;
    bool m_prepared = false;
};
