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
    // The whole template file in data; false, with a log line, when it cannot
    // be opened or is larger than maxFileSize (then nothing of it is read).
    static bool readFile(const QString& fileName, QByteArray& data);
    // Far above any real template. The largest are two scanned backgrounds:
    // an A4 blank scanned at 300 dpi is 2480 x 3508 pixels, 35 MB even as
    // uncompressed RGBA and less as PNG, 46 MB in base64; two of them make
    // 93 MB, well under half of this. A file beyond it is no template, and
    // reading it whole would cost seconds and its size in memory at every
    // opening of the print dialog.
    static constexpr qint64 maxFileSize = 256 * 1024 * 1024;
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
