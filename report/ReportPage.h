#pragma once

#include <QFont>
#include <QList>
#include <QMap>
#include <QMarginsF>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class AbstractField;
class QAbstractItemModel;
class QImage;
class QImageReader;
class QJsonObject;
class QPainter;
class QPrintPreviewDialog;
class QPrinter;

// One report template in memory: the layout of a blank form (page size,
// orientation, number of sheets, scanned images of its two sides) with its
// fields, plus the data of one print run: report variables and table models.
// All lengths are millimetres; device units are dots of the page's printer.
class ReportPage : public QObject
{
    Q_OBJECT

public:
    explicit ReportPage(QObject* parent = nullptr);
    ~ReportPage() override;

    // The fields in drawing and file order. The page owns them: it deletes
    // every field still in the list when it is destroyed. Whoever appends a
    // field sets its page (AbstractField::setPage) or uses addField().
    QList<AbstractField*>& fields() { return m_fields; }
    const QList<AbstractField*>& fields() const { return m_fields; }
    // Sets the field's page to this page and appends it.
    void addField(AbstractField* field);

    // True: fields draw filled-in values; false: the raw template text.
    bool dataMode() const { return m_dataMode; }
    void setDataMode(bool on) { m_dataMode = on; }

    // QPrinter orientation: 0 portrait, 1 landscape. Also set on the printer.
    int orientation() const { return m_orientation; }
    void setOrientation(int orientation);
    int pagesCount() const { return m_pagesCount; }
    void setPagesCount(int count) { m_pagesCount = count; }
    // Sheets a template read from a file may have: the designer offers 1 to
    // maxPagesCount, and a larger count would only make the designer and
    // printing build sheets without end.
    static constexpr int maxPagesCount = 4;
    // QPageSize::PageSizeId code (0 A4, 8 A3, 9 A5). Also set on the printer.
    int pageSize() const { return m_pageSize; }
    void setPageSize(int pageSize);
    QMarginsF margins() const { return m_margins; }
    void setMargins(const QMarginsF& margins) { m_margins = margins; }

    // The painter's device in the painter's own coordinates, grown by one
    // device unit for the pen; fields skip whatever lies wholly outside it,
    // which on paper would be cut off anyway but would still land in a PDF.
    // A device of unknown extent (a picture) gives an unbounded rectangle.
    static QRectF visibleArea(const QPainter* painter);

    // The device on which the page is laid out, previewed and printed
    // (screen-resolution mode, so the same scale everywhere).
    QPrinter* printer() const { return m_printer.get(); }
    // The printer's horizontal resolution / 25.399931.
    double dotsPerMm() const;

    QPixmap backgroundImage() const { return m_backgroundImage; }
    void setBackgroundImage(const QPixmap& image) { m_backgroundImage = image; }
    QPixmap backgroundImage2() const { return m_backgroundImage2; }
    void setBackgroundImage2(const QPixmap& image) { m_backgroundImage2 = image; }
    // Load an image file scaled to the printer's paper rectangle; false (and
    // the old image kept) when the file is not a readable image.
    bool loadBackgroundImage(const QString& fileName);
    bool loadBackgroundImage2(const QString& fileName);
    // Reads a background image unless its header gives a size far beyond
    // the page's paper at maxBackgroundDpi: then a null image and a log line.
    QImage readBackground(QImageReader& reader) const;
    static constexpr double maxBackgroundDpi = 600.0;
    bool printBackgroundImage() const { return m_printBackgroundImage; }
    void setPrintBackgroundImage(bool on) { m_printBackgroundImage = on; }

    // Font of every field whose own font is QFont().
    QFont defaultFont() const { return m_defaultFont; }
    void setDefaultFont(const QFont& font) { m_defaultFont = font; }

    // Report variables; names are trimmed and lower-cased.
    void setVariable(const QString& name, const QVariant& value);
    const QMap<QString, QVariant>& variables() const { return m_variables; }
    // Replaces "$V{name}" tokens by variable values (a missing variable is
    // added with an invalid value and gives the empty text), then every
    // backslash-n by a line feed. Inserted values are not scanned again.
    // Values go in as they are, or escaped for a text that is laid out as
    // HTML (see valueAsHtml).
    enum ValueForm { PlainValues, HtmlValues };
    QString substituteVariables(const QString& text, ValueForm form = PlainValues);
    // A value as HTML text: markup characters escaped, "<br>" kept as a break.
    static QString valueAsHtml(const QString& value);

    // Replaces every token made of opener, a name and "}" by lookup(name),
    // scanning on after each inserted value, so values are never parsed as
    // template text. The scan stops early, leaving the rest of the text as it
    // is, when the first "}" after the scan position stands before the next
    // token or the token is never closed; *stopped then becomes true.
    // between, when given, turns each piece of text around the tokens (not
    // the inserted values, nor a rest left by a stop) into what goes out.
    // openerCase says whether the opener must match in case.
    static QString replaceTokens(const QString& text, const QString& opener,
                                 const std::function<QString(const QString&)>& lookup,
                                 bool* stopped = nullptr,
                                 const std::function<QString(const QString&)>& between = {},
                                 Qt::CaseSensitivity openerCase = Qt::CaseSensitive);

    // The object bound under the name (trimmed, lower-cased), or null; a
    // deleted model gives null.
    QObject* model(const QString& name) const;
    // The same, as an item model; null for a missing, deleted or non-model object.
    QAbstractItemModel* itemModel(const QString& name) const;
    // Bound models by name; deleted ones are left out.
    QMap<QString, QObject*> models() const;
    // What the data loader could not read, for the user ("" when it read
    // everything). A page with a problem holds none of the loader's data, so
    // it must not be printed as if it were the document.
    QString dataProblem() const { return m_dataProblem; }
    void setDataProblem(const QString& problem) { m_dataProblem = problem; }
    // Binds a table model under the name (replacing, not deleting, an earlier
    // one); takeOwnership makes the page its parent. Table fields rebind.
    virtual bool addModel(const QString& name, QObject* model, bool takeOwnership);

    // Template file (".velrpt", JSON). load/save report failure as false and
    // a log line; save replaces the file atomically.
    bool load(const QString& fileName);
    bool save(const QString& fileName) const;
    void read(const QJsonObject& object);
    void write(QJsonObject& object) const;

    // --- Printing: one print preview dialog per sheet ---
    // Starts a print run at sheet 0. printBackground > 0 switches background
    // printing on, < 0 off, 0 keeps printBackgroundImage as it is.
    void print(bool dataMode, int printBackground);
    // The current run was cancelled (the overflow warning was refused).
    bool cancelled() const { return m_cancelled; }
    // The sheet renderPage() paints; print() starts it at 0 and every
    // finished preview moves it on.
    int pageIndex() const { return m_pageIndex; }
    void setPageIndex(int index) { m_pageIndex = index; }
    // The preview dialog of the sheet being printed, or null.
    QPrintPreviewDialog* preview() const;

    // Says why printing into the file path (the print dialog's "print to
    // file") must be refused, or "" when it may be written. The engine sets
    // it, so that no print run overwrites the program's own files.
    using OutputFileCheck = std::function<QString(const QString& path)>;
    static void setOutputFileCheck(const OutputFileCheck& check);

public slots:
    // Shows the prompt for the sheet at pageIndex and opens its preview.
    void printNextPage();
    // Paints the sheet at pageIndex on the printer (the preview's request).
    void renderPage(QPrinter* printer);
    // A preview closed (printed or not): on to the next sheet.
    void onPreviewFinished();
    // Closes the current preview after the run was cancelled.
    void closePreview();

signals:
    void dataUpdated();

private:
    bool loadBackground(const QString& fileName, QPixmap& target);
    static OutputFileCheck& outputFileCheck();
    // True (after telling the user) when the printer would write into a file
    // that must not be overwritten.
    bool refuseOutputFile(QPrinter* printer);
    // Lets every table field pick up the models bound now.
    void rebindTables();

    QList<AbstractField*> m_fields;
    bool m_dataMode = false;
    int m_orientation = 1;
    QPixmap m_backgroundImage;
    QPixmap m_backgroundImage2;
    bool m_printBackgroundImage = false;
    QFont m_defaultFont;
    int m_pagesCount = 1;
    QMap<QString, QVariant> m_variables;
    QMap<QString, QPointer<QObject>> m_models;
    QString m_dataProblem;
    std::unique_ptr<QPrinter> m_printer;
    int m_pageSize = 0;
    QMarginsF m_margins;
    bool m_cancelled = false;
    int m_pageIndex = 0;
    QPointer<QPrintPreviewDialog> m_preview;
    // The overflow warning was answered Yes in this run: later requests
    // for the same sheet (page setup changes, the print itself) go on
    // without asking again.
    bool m_overflowAccepted = false;
    // The overflow warning is open; a request arriving from its event
    // loop must not ask a second time.
    bool m_askingOverflow = false;
};
