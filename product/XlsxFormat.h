#pragma once

#include <QString>

namespace QXlsx {

// The look of cells: font size, wrapping and alignment. A format with nothing
// set is empty; a cell written with it takes its column's format.
class Format
{
public:
    enum HorizontalAlignment { AlignHGeneral, AlignLeft, AlignHCenter, AlignRight };
    enum VerticalAlignment { AlignTop, AlignVCenter, AlignBottom };

    int fontSize() const { return m_fontSize; }
    void setFontSize(int size) { m_fontSize = size; }
    bool textWrap() const { return m_textWrap; }
    void setTextWrap(bool wrap) { m_textWrap = wrap; }
    HorizontalAlignment horizontalAlignment() const { return m_horizontal; }
    void setHorizontalAlignment(HorizontalAlignment alignment) { m_horizontal = alignment; }
    VerticalAlignment verticalAlignment() const { return m_vertical; }
    void setVerticalAlignment(VerticalAlignment alignment) { m_vertical = alignment; }

    bool isEmpty() const;
    // Equal for formats that look alike.
    QString key() const;

private:
    int m_fontSize = 0;
    bool m_textWrap = false;
    HorizontalAlignment m_horizontal = AlignHGeneral;
    VerticalAlignment m_vertical = AlignBottom;
};

} // namespace QXlsx
