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
    // Greatest number allowed inside a tag (sizes, lengths, spans).
    static constexpr double maxNumber = 1000.0;

    static bool isSafe(const QString& html);

private:
    MarkupCheck() = delete;
};
