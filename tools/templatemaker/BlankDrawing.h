#pragma once

#include <QPixmap>
#include <QStringList>

// Plain drawings of one side of a blank: its frame, rulings and printed
// captions, laid out around the template's fields. The templates carry them
// as background images, so the designer and the print chooser show where
// each field sits, and a test print on plain paper looks like the blank.
// A4 in landscape at kDotsPerMm.
namespace BlankDrawing {

constexpr double kDotsPerMm = 5.0;

// The subjects table's column headings, as printed on the blank; the
// template's table carries the same.
QStringList subjectHeadings();

// The diploma; the one with distinction says so under its title.
QPixmap diploma(bool excellent);
// The supplement's front: its title half and the holder's data.
QPixmap supplementFront();
// The supplement's back: the subjects table on both halves; the last back
// ends its right half with the courseworks and the remarks.
QPixmap supplementBack(bool last);

} // namespace BlankDrawing
