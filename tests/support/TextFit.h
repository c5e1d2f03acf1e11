#pragma once

#include <QStringList>

class QWidget;

namespace TextFit {

// Every text under root (root included) that its widget cannot show whole:
// labels, check boxes, radio buttons, push buttons, group-box titles, the
// values of read-only line edits and of combo boxes, and the cells of item
// views (lists, tables, trees). Widgets hidden under root are skipped.
// Each entry reads "ClassName objectName: text".
QStringList clippedTexts(QWidget* root);

} // namespace TextFit

using TextFit::clippedTexts;
