#include "support/Canvas.h"
#include "support/DocumentFixtures.h"
#include "support/PdfFile.h"
#include "support/TestEnvironment.h"

#include "engine/ReportList.h"
#include "engine/SpoDataLoader.h"
#include "report/ReportPage.h"
#include "report/TableField.h"

#include <QCryptographicHash>
#include <QDir>
#include <QPrinter>
#include <QTemporaryDir>

using namespace DocumentFixtures;

namespace {
enum Mode { Data, Template, Ruled };
const QString modeNames[] = {QStringLiteral("data"), QStringLiteral("template"), QStringLiteral("ruled")};
} // namespace

// Every sheet of every shipped template, printed the way the print road
// prints it (renderPage into a PDF) and read back as pixels, must come out
// exactly as it did when the figures below were taken: work on the speed of
// printing may change how a sheet is drawn, never what is on it. The hashes
// depend on the installed fonts and poppler; with VELSPO_RENDER_DIR set the
// PDFs and images are kept there, for comparing sheet by sheet after a
// deliberate change of the print.
class TestPrintedSheets : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { ReportList::registerReports(); }

    void sheetsAsBefore_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("hashes");
        const QStringList names = QDir(TestEnvironment::sourcePath(QStringLiteral("resources/reports")))
                                      .entryList({QStringLiteral("*.velrpt")}, QDir::Files, QDir::Name);
        QCOMPARE(names.size(), 4);
        const QMap<QString, QStringList> expected = {
            {"id120 data", {"bccb8c01f716234c"}},
            {"id120 template", {"fd3ced0582783d71"}},
            {"id120 ruled", {"bccb8c01f716234c"}},
            {"id121 data", {"a8bba1719137ef19", "1469578c16d18341"}},
            {"id121 template", {"0bbaf8f35dba5830", "20e09ba4ae2572d0"}},
            {"id121 ruled", {"a8bba1719137ef19", "b027ea06ec4cc3eb"}},
            {"id121double data", {"a8bba1719137ef19", "ae7cfe2cae9e5a2a", "42e2264d61a20d9c", "462607c5a8537e19"}},
            {"id121double template", {"0bbaf8f35dba5830", "2e93781c6d69021c", "96c4dba110e02aee", "5f0f7ac8dec13801"}},
            {"id121double ruled", {"a8bba1719137ef19", "c1a241c1915962c3", "42e2264d61a20d9c", "ccd2243bd0264133"}},
            {"id124 data", {"bccb8c01f716234c"}},
            {"id124 template", {"fd3ced0582783d71"}},
            {"id124 ruled", {"bccb8c01f716234c"}},
        };
        for (const QString& file : names) {
            const QString name = QFileInfo(file).completeBaseName();
            for (int mode = Data; mode <= Ruled; ++mode) {
                const QString row = name + QStringLiteral(" ") + modeNames[mode];
                QTest::newRow(qPrintable(row)) << name << mode << expected.value(row);
            }
        }
    }
    void sheetsAsBefore()
    {
        QFETCH(QString, name);
        QFETCH(int, mode);
        QFETCH(QStringList, hashes);
        QVERIFY(openEmpty());
        setRequisites();
        const int id = insertDocument(fullDocument());
        QVERIFY(id > 0 && insertDetails(id) && insertDisciplines(id, 12));

        ReportPage page;
        QVERIFY(page.load(TestEnvironment::sourcePath("resources/reports/" + name + ".velrpt")));
        loadSpoData(&page, id, true);
        page.setDataMode(mode != Template);
        // The shipped blanks print no cell frames; ruled, the frames reach paper as well.
        for (AbstractField* field : page.fields()) {
            if (auto* table = qobject_cast<TableField*>(field))
                table->setDrawBorders(table->drawBorders() || mode == Ruled);
        }
        QTemporaryDir temporary;
        const QString keep = qEnvironmentVariable("VELSPO_RENDER_DIR");
        const QDir out(keep.isEmpty() ? temporary.path() : keep);
        QPrinter* printer = page.printer();
        printer->setOutputFormat(QPrinter::PdfFormat);
        QStringList got;
        for (int sheet = 0; sheet < page.pagesCount(); ++sheet) {
            const QString base = out.filePath(QStringLiteral("%1-%2-%3").arg(name).arg(mode).arg(sheet));
            printer->setOutputFileName(base + QStringLiteral(".pdf"));
            page.setPageIndex(sheet);
            page.renderPage(printer);
            // On paper, and on screen as the designer and the preview draw it.
            const QImage paper = PdfFile::image(base + QStringLiteral(".pdf"), 100).convertToFormat(QImage::Format_RGB32);
            QVERIFY(!paper.isNull());
            Canvas screen = Canvas::ofMm(297, 210, page.dotsPerMm());
            for (AbstractField* field : page.fields())
                screen.draw(field, page.dotsPerMm(), sheet * printer->height());
            QCryptographicHash hash(QCryptographicHash::Sha1);
            const QImage images[] = {paper, screen.image()};
            for (int i = 0; i < 2; ++i) {
                hash.addData(reinterpret_cast<const char*>(images[i].constBits()), int(images[i].sizeInBytes()));
                if (!keep.isEmpty())
                    images[i].save(base + (i == 0 ? QStringLiteral(".png") : QStringLiteral("-screen.png")));
            }
            got.append(QString::fromLatin1(hash.result().toHex().left(16)));
        }
        QVERIFY2(got == hashes, qPrintable(got.join(QStringLiteral(", "))));
    }
};

VELSPO_TEST_MAIN(TestPrintedSheets)
#include "tst_printedsheets.moc"
