#pragma once

// Where things lie on the blanks, in millimetres: shared by the template
// layouts and the drawings of the blanks, so the fields meet their lines.
// Every blank is an A4 sheet in landscape; each side is folded into a left
// and a right half, and the text on either half keeps 12 mm from the edges
// and from the fold.
namespace Blank {

constexpr double kSheetWidth = 297.0;
constexpr double kSideHeight = 210.0;
constexpr double kLeftX = 12.0;
constexpr double kRightX = 160.5;
constexpr double kHalfWidth = 124.5;

// The subjects table on the back of a supplement: the same area on either
// half below the printed column headings; on the last back the right half
// stops early for the courseworks and the remarks.
constexpr double kAreaTop = 12.0;
constexpr double kAreaHeight = 186.0;
constexpr double kLastAreaHeight = 118.0;
constexpr double kSubjectWidths[] = {78.5, 15.0, 31.0};

constexpr double kWorksTop = kAreaTop + kLastAreaHeight + 4;   // the courseworks' caption
constexpr double kWorksTableTop = kWorksTop + 7;
constexpr double kWorksHeight = 30.0;
constexpr double kWorksWidths[] = {93.5, 31.0};
constexpr double kRemarksTop = kWorksTableTop + kWorksHeight + 7;   // below their caption
constexpr double kRemarksHeight = 20.0;

} // namespace Blank
