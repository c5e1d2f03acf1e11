#pragma once

#include <QString>

// Tells whether rich text can be handed to QTextDocument without risk: Qt's
// layout takes exponential time over nested tables, recurses once per level
// (deep nesting overflows the stack) and stalls on extreme lengths. Text that
// fails the check is drawn as plain text instead.
class MarkupCheck
{
public:
    // Nested tables allowed.
    static constexpr int maxTableDepth = 3;
    // Elements open at the same time (implicitly closed ones not counted).
    static constexpr int maxDepth = 64;
    // Greatest number allowed inside a tag (sizes, lengths, spans), and
    // greatest percentage: Qt's layout breaks a document taller than about
    // 2^23 pixels into pages without end, so AbstractField::maxTextLength
    // lines at the largest sizes must stay below that.
    static constexpr double maxNumber = 200.0;
    static constexpr double maxPercent = 200.0;

    static bool isSafe(const QString& html);

private:
    MarkupCheck() = delete;
};
