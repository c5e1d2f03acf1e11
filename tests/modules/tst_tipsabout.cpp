#include "engine/Database.h"
#include "engine/ProductTypeInfo.h"
#include "modules/VelMainWindow/VelMainWindow.h"
#include "modules/about/AboutDialog.h"
#include "modules/tips/TipsDialog.h"
#include "support/FormWidgets.h"
#include "support/ModalAnswerer.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextEdit>
#include <climits>

using namespace FormWidgets;

namespace {

// The tip shown now, then after each of the next presses.
QStringList shownTips(TipsDialog* dialog, int presses)
{
    QStringList tips{child<QTextEdit>(dialog, "textEdit")->toPlainText()};
    for (int i = 0; i < presses; ++i) {
        button(dialog, "pushButtonNext")->click();
        tips << child<QTextEdit>(dialog, "textEdit")->toPlainText();
    }
    return tips;
}

} // namespace

// Tips of the day and the About box.
class TipsAboutTest : public QObject
{
    Q_OBJECT
private slots:
    void tipsOrder_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("start");
        QTest::addColumn<QStringList>("shown");
        const QByteArray three = "A\n**\nB\n**\n\nC";
        const QString none = "Ни одного совета не найдено =(";
        QTest::newRow("one line feed dropped") << three << 0 << QStringList{"B\n", "\nC", "A\n", "B\n"};
        QTest::newRow("start at the top of the range") << three << INT_MAX << QStringList{"\nC", "A\n", "B\n", "\nC"};
        QTest::newRow("empty text") << QByteArray() << 5 << QStringList{none, none, none, none};
        QTest::newRow("no file") << QByteArray("<missing>") << 5 << QStringList{none, none, none, none};
    }
    void tipsOrder()
    {
        QFETCH(QByteArray, text);
        QTemporaryDir folder;
        QFile file(folder.filePath("tips.txt"));
        QVERIFY(text == "<missing>" || (file.open(QIODevice::WriteOnly) && file.write(text) == text.size()));
        file.close();
        QFETCH(int, start);
        std::unique_ptr<TipsDialog> dialog(new TipsDialog(nullptr, file.fileName(), start));
        QTEST(shownTips(dialog.get(), 3), "shown");
    }

    void compiledTipsAndTheSwitch()
    {
        auto* dialog = new TipsDialog;
        QVERIFY(button(dialog, "checkBox")->isChecked());
        const QStringList tips = shownTips(dialog, 38);
        QCOMPARE(tips.last(), tips.first());
        QCOMPARE(QSet<QString>(tips.begin(), tips.end()).size(), 38);
        for (const QString& tip : tips)
            QVERIFY2(!tip.trimmed().isEmpty() && !tip.startsWith('\n'), qPrintable(tip));
        button(dialog, "checkBox")->setChecked(false);
        button(dialog, "pushButtonClose")->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(Database::userSettings()->value("VelSpo/showTipsOnStartup"), QVariant(false));
    }

    void tipsAtStartup()
    {
        for (const bool show : {false, true}) {
            Database::userSettings()->setValue("VelSpo/showTipsOnStartup", show);
            Database::userSettings()->remove("VelSpo/last_started_version");
            VelMainWindow window; // the start-up work ends by storing the version
            QTRY_VERIFY(Database::userSettings()->contains("VelSpo/last_started_version"));
            QCOMPARE(window.findChildren<TipsDialog*>().size(), int(show));
        }
    }

    void aboutBox()
    {
        std::unique_ptr<AboutDialog> dialog(new AboutDialog);
        const auto text = [&dialog](const char* name) { return child<QLabel>(dialog.get(), name)->text().replace('\n', ' '); };
        QCOMPARE(text("progNameLabel"), ProductTypeInfo::titleWithVersion() + " build 617");
        QCOMPARE(text("progNameLabel_4"), ProductTypeInfo::description());
        auto* history = child<QPlainTextEdit>(dialog.get(), "plainTextEdit");
        QVERIFY(history->isReadOnly());
        QCOMPARE(history->textCursor().position(), 0);
        QCOMPARE(history->toPlainText().section('\n', 0, 0), QStringLiteral("0.4.2")); // no byte-order mark

        ModalAnswerer answerer;
        button(dialog.get(), "pushButtonAboutQt")->click();
        QCOMPARE(answerer.titles(), QStringList{"About Qt"});
    }
};

VELSPO_TEST_MAIN(TipsAboutTest)
#include "tst_tipsabout.moc"
