#pragma once

#include <QPixmap>
#include <QString>

class QJsonObject;
class ReportPage;
class TableField;

// The ".velrpt" report template file: one UTF-8 JSON object holding the
// page settings, the two background images (PNG in base64) and the text and
// table fields. QR fields are not stored. ReportPage::load/save/read/write
// come here; each field kind reads and writes its own object through
// AbstractField::readJson/writeJson, the table field through the two
// functions below.
class ReportFile
{
public:
    // Reads the file into the page. False, with a log line and the page
    // unchanged, when the file cannot be opened or holds anything but one
    // JSON object; an empty file gives a page without fields.
    static bool load(ReportPage& page, const QString& fileName);
    // Writes the page atomically: on any failure false, a log line, and the
    // old file as it was.
    static bool save(const ReportPage& page, const QString& fileName);
    static void read(ReportPage& page, const QJsonObject& object);
    static void write(const ReportPage& page, QJsonObject& object);

    // The table-field object: the common keys and the table's own.
    static void readTableField(TableField& field, const QJsonObject& object);
    static void writeTableField(const TableField& field, QJsonObject& object);

    // PNG bytes in standard base64; a null pixmap gives an empty string.
    static QString imageToBase64(const QPixmap& image);
    // A string that does not decode to a PNG image, or to one far larger
    // than the page's paper (ReportPage::readBackground), gives a null pixmap.
    static QPixmap imageFromBase64(const QString& text, const ReportPage& page);

private:
    ReportFile() = delete;
};
