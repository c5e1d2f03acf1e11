#include "report/ReportPage.h"

#include "report/AbstractField.h"
#include "report/ReportFile.h"
#include "report/TableField.h"

#include <QAbstractItemModel>
#include <QDebug>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTimer>

namespace {

// Asks the way every question of the program asks: a box without icon, run
// modally, released once answered. Returns the button chosen.
int askUser(const QString& title, const QString& text, QMessageBox::StandardButtons buttons,
            QMessageBox::StandardButton defaultButton)
{
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text, buttons);
    box->setDefaultButton(defaultButton);
    const int answer = box->exec();
    box->deleteLater();
    return answer;
}

} // namespace

ReportPage::ReportPage(QObject* parent)
    : QObject(parent)
    , m_defaultFont(QStringLiteral("Times New Roman"), 14)
    , m_printer(new QPrinter(QPrinter::ScreenResolution))
{
    m_printer->setPageSize(QPageSize(QPageSize::A4));
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_printer->setFullPage(true);
}

ReportPage::~ReportPage()
{
    // A preview still open works on this page's printer: it must neither
    // call back into the page nor outlive it on screen.
    if (m_preview) {
        m_preview->disconnect(this);
        m_preview->hide();
        m_preview->deleteLater();
    }
    qDeleteAll(m_fields);
    m_fields.clear();
}

void ReportPage::addField(AbstractField* field)
{
    if (!field)
        return;
    field->setPage(this);
    m_fields.append(field);
}

void ReportPage::setOrientation(int orientation)
{
    m_orientation = orientation;
    // Only 1 is landscape; any other value lays the page out as portrait.
    m_printer->setPageOrientation(orientation == 1 ? QPageLayout::Landscape
                                                   : QPageLayout::Portrait);
}

void ReportPage::setPageSize(int pageSize)
{
    m_pageSize = pageSize;
    // Codes outside the known sizes (and "custom") have no size to set.
    if (pageSize >= 0 && pageSize <= int(QPageSize::LastPageSize)
        && pageSize != int(QPageSize::Custom))
        m_printer->setPageSize(QPageSize(QPageSize::PageSizeId(pageSize)));
}

QRectF ReportPage::visibleArea(const QPainter* painter)
{
    const double unbounded = 1e12;
    const QRectF everything(-unbounded, -unbounded, 2 * unbounded, 2 * unbounded);
    const QPaintDevice* device = painter ? painter->device() : nullptr;
    // A picture's extent is whatever was drawn on it so far.
    if (!device || device->devType() == QInternal::Picture || device->width() <= 0
        || device->height() <= 0)
        return everything;
    bool invertible = false;
    const QTransform toUser = painter->combinedTransform().inverted(&invertible);
    if (!invertible)
        return everything;
    // The combined transform ends in device pixels, which on a scaled screen
    // are more than a widget's logical size; images and pixmaps report their
    // size in pixels already.
    const double ratio = device->devType() == QInternal::Widget ? device->devicePixelRatioF() : 1.0;
    const QRectF pixels(0, 0, device->width() * ratio, device->height() * ratio);
    return toUser.mapRect(pixels.adjusted(-1, -1, 1, 1));
}

double ReportPage::dotsPerMm() const
{
    // The divisor is the one every stored layout was measured with.
    return m_printer->logicalDpiX() / 25.399931;
}

bool ReportPage::loadBackgroundImage(const QString& fileName)
{
    return loadBackground(fileName, m_backgroundImage);
}

bool ReportPage::loadBackgroundImage2(const QString& fileName)
{
    return loadBackground(fileName, m_backgroundImage2);
}

bool ReportPage::loadBackground(const QString& fileName, QPixmap& target)
{
    QImageReader reader(fileName);
    const QImage image = readBackground(reader);
    if (image.isNull())
        return false;
    const QRect paper = m_printer->pageLayout().fullRectPixels(m_printer->resolution());
    target = QPixmap::fromImage(
        image.scaled(paper.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation));
    return true;
}

QImage ReportPage::readBackground(QImageReader& reader) const
{
    // A small compressed file can describe an image of gigabytes; the size
    // is known from its header before anything is decoded.
    const QSize size = reader.size();
    const QSizeF paper = m_printer->pageLayout().fullRect(QPageLayout::Inch).size();
    const double longest = qMax(paper.width(), paper.height()) * maxBackgroundDpi;
    const double area = paper.width() * paper.height() * maxBackgroundDpi * maxBackgroundDpi;
    if (size.isValid()
        && (size.width() > longest || size.height() > longest
            || double(size.width()) * size.height() > area)) {
        qWarning() << "Background image of" << size.width() << "x" << size.height()
                   << "pixels refused: far larger than its paper";
        return QImage();
    }
    return reader.read();
}

void ReportPage::setVariable(const QString& name, const QVariant& value)
{
    m_variables.insert(name.trimmed().toLower(), value);
    emit dataUpdated();
}

QString ReportPage::substituteVariables(const QString& text, ValueForm form)
{
    bool stopped = false;
    QString s = replaceTokens(
        text, QStringLiteral("$V{"),
        [this, form](const QString& name) {
            // Reading a missing variable adds it (with no value), so the
            // designer lists every name a template asked for.
            const QString value = m_variables[name.trimmed().toLower()].toString();
            return form == HtmlValues ? valueAsHtml(value) : value;
        },
        &stopped);
    if (stopped)
        return s;
    s.replace(QLatin1String("\\n"), QLatin1String("\n"));
    return s;
}

QString ReportPage::replaceTokens(const QString& text, const QString& opener,
                                  const std::function<QString(const QString&)>& lookup,
                                  bool* stopped,
                                  const std::function<QString(const QString&)>& between,
                                  Qt::CaseSensitivity openerCase)
{
    if (stopped)
        *stopped = false;
    if (opener.isEmpty())
        return between ? between(text) : text;
    // Built in one pass: replacing in place would copy the tail of the text
    // once per token.
    QString result;
    const auto appendText = [&result, &between](const QStringRef& piece) {
        if (between)
            result.append(between(piece.toString()));
        else
            result.append(piece);
    };
    int pos = 0;
    bool stop = false;
    for (;;) {
        const int start = text.indexOf(opener, pos, openerCase);
        if (start < 0)
            break;
        // The first closing brace after the scan position must close this
        // token; one standing before it (or none at all) ends the scan.
        const int end = text.indexOf(QLatin1Char('}'), pos);
        const int nameStart = start + opener.size();
        if (end < nameStart) {
            stop = true;
            break;
        }
        if (result.isEmpty())
            result.reserve(text.size());
        appendText(text.midRef(pos, start - pos));
        // The scan goes on after the token: a value is data, never template text.
        if (lookup)
            result.append(lookup(text.mid(nameStart, end - nameStart)));
        pos = end + 1;
    }
    if (stopped)
        *stopped = stop;
    if (pos == 0)
        return between && !stop ? between(text) : text;
    if (stop)
        result.append(text.midRef(pos));
    else
        appendText(text.midRef(pos));
    return result;
}

QString ReportPage::valueAsHtml(const QString& value)
{
    // Markup typed into a document must not reach the text layout; the
    // line break that the report loader builds on purpose stays one.
    QString html = value.toHtmlEscaped();
    html.replace(QLatin1String("&lt;br&gt;"), QLatin1String("<br>"), Qt::CaseInsensitive);
    return html;
}

QObject* ReportPage::model(const QString& name) const
{
    return m_models.value(name.trimmed().toLower()).data();
}

QAbstractItemModel* ReportPage::itemModel(const QString& name) const
{
    return qobject_cast<QAbstractItemModel*>(model(name));
}

QMap<QString, QObject*> ReportPage::models() const
{
    QMap<QString, QObject*> result;
    for (auto it = m_models.cbegin(); it != m_models.cend(); ++it) {
        if (it.value())
            result.insert(it.key(), it.value().data());
    }
    return result;
}

bool ReportPage::addModel(const QString& name, QObject* model, bool takeOwnership)
{
    m_models.insert(name.trimmed().toLower(), QPointer<QObject>(model));
    if (takeOwnership && model)
        model->setParent(this);
    rebindTables();
    emit dataUpdated();
    return true;
}

void ReportPage::rebindTables()
{
    for (AbstractField* field : qAsConst(m_fields)) {
        if (field && field->type() == AbstractField::TableFieldType)
            static_cast<TableField*>(field)->rebind();
    }
}

bool ReportPage::load(const QString& fileName)
{
    return ReportFile::load(*this, fileName);
}

bool ReportPage::save(const QString& fileName) const
{
    return ReportFile::save(*this, fileName);
}

void ReportPage::read(const QJsonObject& object)
{
    ReportFile::read(*this, object);
}

void ReportPage::write(QJsonObject& object) const
{
    ReportFile::write(*this, object);
}

QPrintPreviewDialog* ReportPage::preview() const
{
    return m_preview.data();
}

void ReportPage::print(bool dataMode, int printBackground)
{
    // A dialog of an earlier run must not move this run on when it closes.
    if (m_preview) {
        m_preview->disconnect(this);
        m_preview->hide();
        m_preview->deleteLater();
        m_preview = nullptr;
    }
    m_cancelled = false;
    m_pageIndex = 0;
    m_overflowAccepted = false;
    m_dataMode = dataMode;
    if (printBackground >= 1)
        m_printBackgroundImage = true;
    else if (printBackground < 0)
        m_printBackgroundImage = false;

    m_printer->setFullPage(true);
    m_printer->setPageMargins(m_margins, QPageLayout::Millimeter);
    printNextPage();
}

void ReportPage::printNextPage()
{
    if (m_pageIndex >= m_pagesCount || m_cancelled)
        return;

    // Every box and dialog below runs its own event loop, in which anything
    // may happen to this page.
    const QPointer<ReportPage> self(this);
    if (m_pageIndex == 0 && m_printBackgroundImage) {
        const int answer = askUser(QStringLiteral("Внимание!"),
                                   QStringLiteral("Включена печать фона.\nПродолжить?!"),
                                   QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
        if (!self || answer != QMessageBox::Yes)
            return;
    }
    if (m_pageIndex > 0) {
        const QString text = (m_pageIndex % 2 == 1) ? QStringLiteral("Переверните страницу!")
                                                    : QStringLiteral("Вставьте следующий лист");
        askUser(QString(), text, QMessageBox::Ok, QMessageBox::Ok);
        if (!self)
            return;
    }

    auto* dialog = new QPrintPreviewDialog(m_printer.get());
    m_preview = dialog;
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, &ReportPage::renderPage,
            Qt::DirectConnection);
    connect(dialog, &QDialog::finished, this, &ReportPage::onPreviewFinished, Qt::DirectConnection);
    dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowMaximizeButtonHint);
    dialog->adjustSize();

    if (m_cancelled) {
        m_preview = nullptr;
        dialog->disconnect(this);
        dialog->deleteLater();
        return;
    }

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        dialog->resize(dialog->width(), int(available.height() * 0.9));
        const int x = (available.left() + available.right()) / 2 - (dialog->width() - 1) / 2;
        const int y = (available.top() + available.bottom()) / 2 - (dialog->height() - 1) / 2;
        dialog->move(x, y);
    }

    // The next sheet's prompt and dialog follow from inside this dialog's
    // finished signal (onPreviewFinished); nothing here runs after exec.
    dialog->exec();
}

void ReportPage::renderPage(QPrinter* printer)
{
    if (!printer)
        return;
    if (refuseOutputFile(printer))
        return;
    printer->setFullPage(true);
    const int w = printer->width();
    const int h = printer->height();

    QPainter painter;
    if (!painter.begin(printer)) {
        qWarning() << "cant paint report sheet" << m_pageIndex;
        return;
    }
    painter.save();
    painter.setWindow(0, 0, w, h);
    painter.setViewport(0, 0, w, h);

    const QRect whole(0, 0, w, h);
    if (m_pageIndex == 0 && m_printBackgroundImage && !m_backgroundImage.isNull())
        painter.drawPixmap(whole, m_backgroundImage, m_backgroundImage.rect());

    const QRect sheet = printer->pageLayout().paintRectPixels(printer->resolution());
    const double yOffset = double(m_pageIndex) * sheet.height();

    if (m_pageIndex == 1 && m_printBackgroundImage && !m_backgroundImage2.isNull())
        painter.drawPixmap(whole, m_backgroundImage2, m_backgroundImage2.rect());

    const double dpm = dotsPerMm();
    const QList<AbstractField*> fields = m_fields;
    for (AbstractField* field : fields) {
        if (field)
            field->draw(&painter, dpm, yOffset);
    }

    bool overflow = false;
    if (m_pageIndex == 0) {
        for (AbstractField* field : fields) {
            if (!field)
                continue;
            field->prepare();
            if (field->type() == AbstractField::TableFieldType
                && static_cast<TableField*>(field)->overflow()) {
                overflow = true;
                break;
            }
        }
    }

    painter.restore();
    painter.end();

    // Asked once the sheet is painted, so no painter is open on the printer
    // while the question runs its event loop; and once per run, so neither a
    // new page setup nor the print itself asks again after a Yes.
    if (!overflow || m_overflowAccepted || m_askingOverflow)
        return;
    m_askingOverflow = true;
    const QPointer<ReportPage> self(this);
    const int answer = askUser(
        QStringLiteral("Внимание!"),
        QStringLiteral("Данные таблиц не помещаются на данном бланке и будут обрезаны.\nПродолжить?!"),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    if (!self)
        return;
    m_askingOverflow = false;
    if (answer == QMessageBox::Yes) {
        m_overflowAccepted = true;
        return;
    }
    m_cancelled = true;
    // The preview is still inside its own painting request; it is closed
    // once that is over.
    if (m_preview)
        QTimer::singleShot(0, this, &ReportPage::closePreview);
}

ReportPage::OutputFileCheck& ReportPage::outputFileCheck()
{
    static OutputFileCheck check;
    return check;
}

void ReportPage::setOutputFileCheck(const OutputFileCheck& check)
{
    outputFileCheck() = check;
}

// A painter begun on a printer that prints into a file truncates that file at
// once, so the name is checked first. The run stops, and the name is cleared,
// so that the next sheets' previews of this printer are not refused as well.
bool ReportPage::refuseOutputFile(QPrinter* printer)
{
    if (printer->outputFormat() != QPrinter::PdfFormat || printer->outputFileName().isEmpty() || !outputFileCheck())
        return false;
    const QString refusal = outputFileCheck()(printer->outputFileName());
    if (refusal.isEmpty())
        return false;
    qWarning() << "print into" << printer->outputFileName() << "refused";
    printer->setOutputFileName(QString());
    printer->setOutputFormat(QPrinter::NativeFormat);
    m_cancelled = true;
    const QPointer<ReportPage> self(this);
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ошибка"), refusal, QMessageBox::Ok);
    box->setTextFormat(Qt::PlainText); // a file name is never markup
    box->exec();
    box->deleteLater();
    if (self && m_preview)
        QTimer::singleShot(0, this, &ReportPage::closePreview);
    return true;
}

void ReportPage::onPreviewFinished()
{
    QPrintPreviewDialog* dialog = qobject_cast<QPrintPreviewDialog*>(sender());
    if (!dialog)
        dialog = m_preview;
    if (dialog) {
        dialog->disconnect(this);
        dialog->hide();
        dialog->deleteLater();
    }
    if (m_preview == dialog)
        m_preview = nullptr;
    ++m_pageIndex;
    if (!m_cancelled)
        printNextPage();
}

void ReportPage::closePreview()
{
    if (!m_preview)
        return;
    QPrintPreviewDialog* dialog = m_preview;
    m_preview = nullptr;
    dialog->disconnect(this);
    dialog->hide();
    dialog->deleteLater();
}
