#include "product/XlsxFormat.h"

namespace QXlsx {

bool Format::isEmpty() const
{
    return m_fontSize <= 0 && !m_textWrap && m_horizontal == AlignHGeneral && m_vertical == AlignBottom;
}

QString Format::key() const
{
    return QStringLiteral("%1/%2/%3/%4").arg(m_fontSize).arg(int(m_textWrap)).arg(int(m_horizontal)).arg(int(m_vertical));
}

} // namespace QXlsx
