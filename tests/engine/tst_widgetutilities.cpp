#include "DatabaseFixtures.h"
#include "support/TestEnvironment.h"

#include "engine/WidgetUtilities.h"
#include "modules/spellchecker/SpellChecker.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTextEdit>

namespace {

// The words a line edit was last told to underline, through input method events.
class UnderlineSpy : public QObject
{
public:
    explicit UnderlineSpy(QLineEdit* edit) : m_edit(edit) { edit->installEventFilter(this); }

    int eventCount = 0;
    QStringList words;
    QTextCharFormat format;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::InputMethod)
            return false;
        ++eventCount;
        words.clear();
        for (const QInputMethodEvent::Attribute& a : static_cast<QInputMethodEvent*>(event)->attributes()) {
            if (a.type == QInputMethodEvent::TextFormat) {
                words.append(m_edit->text().mid(a.start + m_edit->cursorPosition(), a.length));
                format = qvariant_cast<QTextFormat>(a.value).toCharFormat();
            }
        }
        return false;
    }

private:
    QLineEdit* m_edit;
};

QStringList underlinedWords(const QTextEdit& edit)
{
    QStringList words;
    for (const QTextEdit::ExtraSelection& selection : edit.extraSelections())
        words.append(selection.cursor.selectedText());
    return words;
}

} // namespace

class WidgetUtilitiesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // A tiny dictionary: everything but these four words is misspelt.
        const QString dict = Database::dataPath() + "/dict/ru_RU";
        QVERIFY(DatabaseFixtures::writeBytes(dict + ".aff", "\n\nSET UTF-8\n"));
        QVERIFY(DatabaseFixtures::writeBytes(dict + ".dic", QString("4\nкот\nдом\nмама\nмолоко\n").toUtf8()));
        QVERIFY(SpellChecker::init());
    }

    void cleanupTestCase() { SpellChecker::destroy(); Database::destroy(); }
    void cleanup() { Database::userSettings()->remove("SpellChecker"); Database::userSettings()->remove("VelSpo"); }

    void labelWrapsAtItsWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wrapped");
        QTest::newRow("blanks and line feeds") << "  \n \t " << QString();
        QTest::newRow("line feeds stay") << "слово\nслово\n\nслово" << "слово\nслово\n\nслово";
        QTest::newRow("wrapped at the width") << "слово слово   слово слово слово" << "слово слово\nслово слово\nслово";
        QTest::newRow("long word on its own line") << "а сверхдлинноесловобезпробелов б"
                                                   << "а\nсверхдлинноесловобезпробелов\nб";
    }

    void labelWrapsAtItsWidth()
    {
        QFETCH(QString, text);
        QFETCH(QString, wrapped);
        QLabel label("старый текст");
        const QFontMetrics fm(label.font());
        label.resize(fm.horizontalAdvance("слово слово") + 2, 10);
        setLabelWrappedText(text, &label);
        setLabelWrappedText(text, nullptr);
        QCOMPARE(label.text(), wrapped);
        QVERIFY(wrapped.isEmpty() ? label.height() == 5 : label.height() >= (wrapped.count('\n') + 1) * fm.lineSpacing());
    }

    // The forms' own moves are tested with them; here the odd requests.
    void swapRowsFromStartColumn()
    {
        QStandardItemModel model(2, 2);
        for (int i = 0; i < 4; ++i)
            model.setItem(i / 2, i % 2, new QStandardItem(QString::number(i)));
        // Rows that do not both exist change nothing.
        for (const QPoint& rows : {QPoint(0, 2), QPoint(2, 0), QPoint(-1, 1)})
            swapModelRows(&model, rows.x(), rows.y(), 0);
        swapModelRows(nullptr, 0, 1, 0);
        swapModelRows(&model, 0, 1, 1);
        swapModelRows(&model, 0, 1, -3); // a negative start column means all columns
        QCOMPARE(model.item(0, 0)->text() + model.item(0, 1)->text() + model.item(1, 0)->text() + model.item(1, 1)->text(),
                 QString("2103"));
    }

    // Existing items stay, the typed text goes, case counts in completion.
    void comboFilledByFrequency()
    {
        QVERIFY(Database::init(true));
        QVERIFY(DocumentFixtures::exec("INSERT INTO SpoDocuments (qual) VALUES ('Б'), ('А'), ('В'), ('Б'), ('В'), ('Б')"));
        QComboBox editable;
        editable.setEditable(true);
        editable.addItem("первый");
        editable.setEditText("набрано");
        fillComboBoxFromDb("SpoDocuments", "qual", &editable, 2);
        fillComboBoxFromDb("SpoDocuments", "qual", nullptr, 0);
        QCOMPARE(QStringList({editable.itemText(0), editable.itemText(1), editable.itemText(2), editable.itemText(3),
                              editable.currentText()}), QStringList({"первый", "Б", "В", "", ""}));
        QCOMPARE(editable.completer()->caseSensitivity(), Qt::CaseSensitive);
    }

    void lineEditUnderlinesRejectedWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("underlined");
        QTest::newRow("mixed") << "кот собака, дом;мяу" << QStringList{"собака", "мяу"};
        QTest::newRow("letters and digits together") << "кот123 дом" << QStringList{"кот123"};
        QTest::newRow("hyphen separates") << "кот-пёс" << QStringList{"пёс"};
        QTest::newRow("all known") << "кот,дом.мама!молоко" << QStringList();
    }

    void lineEditUnderlinesRejectedWords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, underlined);
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("собака"); // its underline must go
        edit.setText(text);
        QCOMPARE(spy.words, underlined);
        QVERIFY(spy.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline && spy.format.underlineColor() == Qt::red);
    }

    void lineEditTypingKeepsTheCursor()
    {
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        edit.setText("собака кот");
        installSpellChecker(&edit);
        edit.setCursorPosition(3);
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("х"));
        QCoreApplication::sendEvent(&edit, &key);
        QCOMPARE(edit.text() + QString::number(edit.cursorPosition()), QString("собхака кот4"));
        QCOMPARE(spy.words, QStringList{"собхака"});
    }

    // Queued keystrokes wait for the walk to end, then land at the user's cursor.
    void textEditUnderlinesAndKeystrokesLandAtCursor()
    {
        QTextEdit edit;
        installSpellChecker(&edit);
        edit.setPlainText("кот собака\nдом, мяу! 2кот 3-й 123\n\nмама «пёс»");
        QCOMPARE(underlinedWords(edit), QStringList({"собака", "мяу", "й", "пёс"}));
        QCOMPARE(edit.extraSelections().first().format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
        edit.setPlainText("мяу кот ");
        edit.moveCursor(QTextCursor::End);
        for (const QChar c : QString("дом ав")) {
            QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)));
            QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c)));
        }
        spellCheckTextEdit(&edit);
        QCOMPARE(edit.toPlainText(), QString("мяу кот "));
        QCoreApplication::sendPostedEvents(&edit);
        QCOMPARE(edit.toPlainText(), QString("мяу кот дом ав"));
        QCOMPARE(underlinedWords(edit), QStringList({"мяу", "ав"}));
    }

    void installOnDialogHonoursExclusionsAndPasswords()
    {
        QDialog dialog;
        auto* plain = new QLineEdit(&dialog);
        auto* excluded = new QLineEdit(&dialog);
        auto* box = new QGroupBox(&dialog);
        auto* insideExcludedBox = new QLineEdit(box);
        auto* password = new QLineEdit(&dialog);
        password->setEchoMode(QLineEdit::PasswordEchoOnEdit);
        QTextEdit *text = new QTextEdit(&dialog), *excludedText = new QTextEdit(&dialog);
        UnderlineSpy plainSpy(plain), excludedSpy(excluded), boxSpy(insideExcludedBox), passwordSpy(password);
        installSpellChecker(&dialog, {excluded, box, excludedText});
        installSpellChecker(&dialog, {excluded, box, excludedText}); // a second call adds nothing
        for (QLineEdit* edit : {plain, excluded, insideExcludedBox, password})
            edit->setText("собака");
        text->setPlainText("собака");
        excludedText->setPlainText("собака");
        spellCheckLineEdit(password);
        QCOMPARE(QString("%1 %2 %3 %4").arg(plainSpy.eventCount).arg(excludedSpy.eventCount + boxSpy.eventCount + passwordSpy.eventCount)
                     .arg(underlinedWords(*text).join(',')).arg(excludedText->extraSelections().size()), QString("1 0 собака 0"));
    }

    void nothingWithoutCheckerOrWhenSwitchedOff()
    {
        // "<input method events of a line edit> <underlines of a text edit>"
        auto underlines = [] {
            QLineEdit line;
            UnderlineSpy spy(&line);
            QTextEdit text;
            installSpellChecker(&line);
            installSpellChecker(&text);
            line.setText("собака");
            text.setPlainText("собака");
            return QStringLiteral("%1 %2").arg(spy.eventCount).arg(text.extraSelections().size());
        };
        // The switch stands at the top level of the settings, not in the application's group.
        Database::userSettings()->setValue("VelSpo/SpellChecker/enabled", false);
        QCOMPARE(underlines(), QString("1 1"));
        Database::userSettings()->setValue("SpellChecker/enabled", false);
        QCOMPARE(underlines(), QString("0 0"));

        Database::userSettings()->remove("SpellChecker");
        SpellChecker::destroy();
        spellCheckLineEdit(nullptr);
        spellCheckTextEdit(nullptr);
        const QString withoutChecker = underlines();
        QVERIFY(SpellChecker::init());
        QCOMPARE(withoutChecker, QString("0 0"));
    }
};

VELSPO_TEST_MAIN(WidgetUtilitiesTest)
#include "tst_widgetutilities.moc"
