#pragma once

#include <QList>
#include <QString>

#include <functional>

class ReportPage;

// The default layouts of the four report templates. Every blank is an A4
// sheet in landscape, printed on both sides; each side is folded into a left
// and a right half. The fields carry only what the program fills in: the
// blank's own texts, lines and table rulings are printed on it already, and
// a drawing of them (BlankDrawing) is the template's background.
struct TemplateDefinition
{
    QString name;                               // file base name, e.g. "id120"
    std::function<void(ReportPage&)> layout;    // fills a fresh page
};

QList<TemplateDefinition> templateDefinitions();

// Diploma (plain and with distinction share the layout, not the drawing):
// one side.
void layoutDiploma(ReportPage& page, bool excellent);
// Supplement on `blanks` blanks: the front of each blank carries the
// holder's data, the backs carry the subjects table, which runs on from one
// half to the next; the last back ends with the courseworks and remarks.
void layoutSupplement(ReportPage& page, int blanks);
