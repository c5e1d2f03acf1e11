#pragma once

#include <QColor>

// The colours our drawings share, so that icons drawn in different files match.

// Tool bar icons: slate ink on white sheets.
namespace IconPalette {
const QColor kInk(0x3a, 0x46, 0x5a);
const QColor kSheet(0xff, 0xff, 0xff);
const QColor kSheetShade(0xe4, 0xea, 0xf2);
const QColor kLine(0xa8, 0xb4, 0xc6);
const QColor kGreen(0x2e, 0x9e, 0x4f);
const QColor kRed(0xc8, 0x35, 0x35);
const QColor kBlue(0x2f, 0x6f, 0xc4);
const QColor kOrange(0xe8, 0x9a, 0x2c);
const QColor kGlass(0xcf, 0xe4, 0xf7);
} // namespace IconPalette

// The program's own pictures (icon, splash, banners): a diploma's colours.
namespace BrandPalette {
const QColor kInk(0x4a, 0x32, 0x1e);
const QColor kPaper(0xfb, 0xf1, 0xd6);
const QColor kPaperShade(0xe8, 0xd2, 0x9f);
const QColor kSeal(0xc0, 0x28, 0x28);
const QColor kSealDark(0x8a, 0x14, 0x14);
const QColor kNavy(0x1d, 0x36, 0x6b);
const QColor kGold(0xe0, 0xb6, 0x4a);
} // namespace BrandPalette
