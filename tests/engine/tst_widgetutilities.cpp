#include "support/TestEnvironment.h"

#include "engine/Database.h"
#include "engine/WidgetUtilities.h"
#include "modules/spellchecker/SpellChecker.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialog>
#include <QDir>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopedPointer>
#include <QSettings>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QTextBlock>
#include <QTextEdit>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Records the character formats that a line edit receives through input
// method events, as absolute (start, length) ranges of its text.
class UnderlineSpy : public QObject
{
public:
    struct Range
    {
        QString word;
        QTextCharFormat format;
    };

    explicit UnderlineSpy(QLineEdit* edit) : m_edit(edit) { edit->installEventFilter(this); }

    int eventCount() const { return m_events.size(); }
    QList<Range> lastRanges() const { return m_events.isEmpty() ? QList<Range>() : m_events.last(); }
    QStringList lastWords() const
    {
        QStringList words;
        for (const Range& range : lastRanges())
            words.append(range.word);
        return words;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_edit && event->type() == QEvent::InputMethod) {
            const auto* ime = static_cast<QInputMethodEvent*>(event);
            QList<Range> ranges;
            const int cursor = m_edit->cursorPosition();
            for (const QInputMethodEvent::Attribute& a : ime->attributes()) {
                if (a.type != QInputMethodEvent::TextFormat)
                    continue;
                ranges.append({m_edit->text().mid(a.start + cursor, a.length),
                               qvariant_cast<QTextFormat>(a.value).toCharFormat()});
            }
            m_events.append(ranges);
        }
        return false;
    }

private:
    QLineEdit* m_edit;
    QList<QList<Range>> m_events;
};

// Counts key presses that reach a widget.
class KeyCounter : public QObject
{
public:
    explicit KeyCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++count;
        return false;
    }
};

QStringList underlinedWords(const QTextEdit& edit)
{
    QStringList words;
    for (const QTextEdit::ExtraSelection& selection : edit.extraSelections())
        words.append(selection.cursor.selectedText());
    return words;
}

void postText(QWidget* target, const QString& text)
{
    for (const QChar c : text) {
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c)));
    }
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
        writeFile(dict + ".aff", QByteArray("\n\nSET UTF-8\n"));
        writeFile(dict + ".dic", QString("4\nкот\nдом\nмама\nмолоко\n").toUtf8());
        QVERIFY(SpellChecker::init());
    }

    void cleanupTestCase()
    {
        SpellChecker::destroy();
        Database::destroy();
    }

    void cleanup()
    {
        Database::userSettings()->remove(QStringLiteral("SpellChecker/enabled"));
        Database::userSettings()->remove(QStringLiteral("VelSpo/SpellChecker/enabled"));
    }

    // --- setLabelWrappedText ---

    void labelWithBlankText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("blanks and line feeds") << QString("  \n \t ");
    }
    void labelWithBlankText()
    {
        QFETCH(QString, text);
        QLabel label("старый текст");
        label.resize(200, 60);
        setLabelWrappedText(text, &label);
        QCOMPARE(label.size(), QSize(200, 5));
        QCOMPARE(label.text(), QString());
    }

    void labelKeepsLineFeeds()
    {
        QLabel label;
        label.resize(1000, 20);
        setLabelWrappedText("первая строка\nвторая\n\nчетвёртая", &label);
        QCOMPARE(label.text(), QString("первая строка\nвторая\n\nчетвёртая"));
        const QFontMetrics fm(label.font());
        const int expected = fm.boundingRect(QRect(0, 0, 1000, 800), Qt::AlignLeft | Qt::TextWordWrap, label.text()).height() + 5;
        QCOMPARE(label.height(), expected);
        QVERIFY(label.height() >= 4 * fm.lineSpacing());
        QCOMPARE(label.width(), 1000);
    }

    void labelWrapsAtItsWidth()
    {
        QLabel label;
        const QFontMetrics fm(label.font());
        label.resize(fm.horizontalAdvance("слово слово") + 2, 10);
        setLabelWrappedText("слово слово   слово слово слово", &label);
        QCOMPARE(label.text(), QString("слово слово\nслово слово\nслово"));
        QVERIFY(label.height() >= 3 * fm.lineSpacing());
    }

    void labelWordWiderThanLabelFormsOwnLine()
    {
        QLabel label;
        label.resize(30, 10);
        setLabelWrappedText("а сверхдлинноесловобезпробелов б", &label);
        QCOMPARE(label.text(), QString("а\nсверхдлинноесловобезпробелов\nб"));
    }

    void labelNullIsHarmless()
    {
        setLabelWrappedText("текст", nullptr);
    }

    // --- swapModelRows ---

    void swapRowsFromStartColumn()
    {
        QStandardItemModel model(3, 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                model.setItem(r, c, new QStandardItem(QString("r%1c%2").arg(r).arg(c)));
        swapModelRows(&model, 0, 2, 1);
        QCOMPARE(model.item(0, 0)->text(), QString("r0c0"));
        QCOMPARE(model.item(2, 0)->text(), QString("r2c0"));
        QCOMPARE(model.item(0, 1)->text(), QString("r2c1"));
        QCOMPARE(model.item(0, 2)->text(), QString("r2c2"));
        QCOMPARE(model.item(2, 1)->text(), QString("r0c1"));
        QCOMPARE(model.item(2, 2)->text(), QString("r0c2"));
        QCOMPARE(model.item(1, 1)->text(), QString("r1c1"));
    }

    void swapRowsOutOfBounds_data()
    {
        QTest::addColumn<int>("row1");
        QTest::addColumn<int>("row2");
        QTest::newRow("row equal to count") << 0 << 2;
        QTest::newRow("first equal to count") << 2 << 0;
        QTest::newRow("negative") << -1 << 1;
        QTest::newRow("both beyond") << 5 << 7;
    }
    void swapRowsOutOfBounds()
    {
        QFETCH(int, row1);
        QFETCH(int, row2);
        QStandardItemModel model(2, 2);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                model.setItem(r, c, new QStandardItem(QString("r%1c%2").arg(r).arg(c)));
        swapModelRows(&model, row1, row2, 0);
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                QCOMPARE(model.item(r, c)->text(), QString("r%1c%2").arg(r).arg(c));
        swapModelRows(nullptr, 0, 1, 0);
        swapModelRows(&model, 0, 1, -3);   // a negative start column means all columns
        QCOMPARE(model.item(0, 0)->text(), QString("r1c0"));
    }

    // --- geometry ---

    void geometrySavedAndRestored()
    {
        QWidget first;
        first.setObjectName("SampleDialog");
        first.setGeometry(40, 50, 321, 234);
        saveWidgetGeometry(&first);
        QSettings* settings = Database::userSettings();
        QCOMPARE(settings->value("VelSpo/SampleDialogGeometry").toByteArray(), first.saveGeometry());
        QVERIFY(!settings->contains("SampleDialogGeometry"));
        QCOMPARE(settings->group(), QString());

        QWidget second;
        second.setObjectName("SampleDialog");
        second.resize(100, 100);
        restoreWidgetGeometry(&second);
        QCOMPARE(second.size(), QSize(321, 234));
        QCOMPARE(settings->group(), QString());

        QWidget other;
        other.setObjectName("OtherDialog");
        other.resize(111, 99);
        restoreWidgetGeometry(&other);   // nothing stored: unchanged
        QCOMPARE(other.size(), QSize(111, 99));

        saveWidgetGeometry(nullptr);
        restoreWidgetGeometry(nullptr);
    }

    // --- fillComboBoxFromDb ---

    void comboFilledByFrequency()
    {
        QVERIFY(Database::init(true));
        delete Database::execStr("CREATE TABLE Sample (name TEXT)");
        const QStringList values = {"Брянск", "Астрахань", "Воронеж", "Брянск", " Брянск ", "Воронеж",
                                    "", "   ", "   ", "Брянск"};
        for (const QString& value : values) {
            QSqlQuery query;
            QVERIFY(query.prepare("INSERT INTO Sample (name) VALUES (?)"));
            query.addBindValue(value);
            QVERIFY(query.exec());
        }

        QComboBox editable;
        editable.setEditable(true);
        editable.setEditText("набрано");
        fillComboBoxFromDb("Sample", "name", &editable, 0);
        QCOMPARE(editable.count(), 3);
        QCOMPARE(editable.itemText(0), QString("Брянск"));
        QCOMPARE(editable.itemText(1), QString("Воронеж"));
        QCOMPARE(editable.itemText(2), QString("Астрахань"));
        QCOMPARE(editable.currentText(), QString());
        QCOMPARE(editable.completer()->caseSensitivity(), Qt::CaseSensitive);

        QComboBox limited;
        limited.addItem("первый");
        fillComboBoxFromDb("Sample", "name", &limited, 2);
        QCOMPARE(limited.count(), 3);
        QCOMPARE(limited.itemText(0), QString("первый"));
        QCOMPARE(limited.itemText(1), QString("Брянск"));
        QCOMPARE(limited.itemText(2), QString("Воронеж"));

        fillComboBoxFromDb("Sample", "name", nullptr, 0);
    }

    // --- line edits ---

    void lineEditUnderlinesRejectedWords()
    {
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("кот собака, дом;мяу");
        QCOMPARE(spy.lastWords(), QStringList({"собака", "мяу"}));
        const QTextCharFormat format = spy.lastRanges().first().format;
        QCOMPARE(format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
        QCOMPARE(int(format.underlineStyle()), 7);
        QCOMPARE(format.underlineColor(), QColor("red"));
    }

    void lineEditWordIsRunOfLettersAndDigits_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("underlined");
        QTest::newRow("letters and digits together") << "кот123 дом" << QStringList{"кот123"};
        QTest::newRow("punctuation separates") << "кот,дом.мама!молоко" << QStringList();
        QTest::newRow("hyphen separates") << "кот-пёс" << QStringList{"пёс"};
        QTest::newRow("only punctuation") << " ,.;! " << QStringList();
        QTest::newRow("word at the very end") << "дом кошка" << QStringList{"кошка"};
    }
    void lineEditWordIsRunOfLettersAndDigits()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, underlined);
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        edit.setText(text);
        spellCheckLineEdit(&edit);
        QCOMPARE(spy.eventCount(), 1);
        QCOMPARE(spy.lastWords(), underlined);
    }

    void lineEditCorrectTextClearsUnderlines()
    {
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("собака");
        QCOMPARE(spy.lastWords(), QStringList{"собака"});
        edit.setText("кот");
        QCOMPARE(spy.eventCount(), 2);
        QVERIFY(spy.lastRanges().isEmpty());
    }

    void lineEditCursorAndSelectionStay()
    {
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        edit.setText("собака кот");
        installSpellChecker(&edit);
        edit.setCursorPosition(3);
        spellCheckLineEdit(&edit);
        QCOMPARE(edit.cursorPosition(), 3);
        QCOMPARE(edit.text(), QString("собака кот"));
        QCOMPARE(spy.lastWords(), QStringList{"собака"});

        // Typing in the middle: the text lands at the cursor and the underline
        // follows the changed word.
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("х"));
        QCoreApplication::sendEvent(&edit, &key);
        QCOMPARE(edit.text(), QString("собхака кот"));
        QCOMPARE(edit.cursorPosition(), 4);
        QCOMPARE(spy.lastWords(), QStringList{"собхака"});

        edit.setSelection(0, 3);
        spellCheckLineEdit(&edit);
        QCOMPARE(edit.selectedText(), QString("соб"));
    }

    void passwordFieldsAreLeftAlone()
    {
        QLineEdit edit;
        edit.setEchoMode(QLineEdit::PasswordEchoOnEdit);
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("собака");
        spellCheckLineEdit(&edit);
        QCOMPARE(spy.eventCount(), 0);
        QCOMPARE(edit.text(), QString("собака"));
    }

    void withoutCheckerNothingHappens()
    {
        SpellChecker::destroy();
        QLineEdit line;
        UnderlineSpy spy(&line);
        QTextEdit text;
        installSpellChecker(&line);
        installSpellChecker(&text);
        line.setText("собака");
        text.setPlainText("собака");
        spellCheckLineEdit(nullptr);
        spellCheckTextEdit(nullptr);
        QVERIFY(SpellChecker::init());
        QCOMPARE(spy.eventCount(), 0);
        QVERIFY(text.extraSelections().isEmpty());
    }

    // --- text edits ---

    void textEditUnderlinesRejectedWords()
    {
        QTextEdit edit;
        installSpellChecker(&edit);
        edit.setPlainText("кот собака\nдом, мяу! 2кот 3-й 123\n\nмама «пёс»");
        QCOMPARE(underlinedWords(edit), QStringList({"собака", "мяу", "й", "пёс"}));
        const QTextEdit::ExtraSelection first = edit.extraSelections().first();
        QCOMPARE(first.format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
        QCOMPARE(first.format.underlineColor(), QColor("red"));
        QCOMPARE(first.cursor.selectionStart(), 4);
        QCOMPARE(first.cursor.selectionEnd(), 10);

        edit.setPlainText("кот дом");
        QVERIFY(edit.extraSelections().isEmpty());
    }

    void textEditCursorIsNotMoved()
    {
        QTextEdit edit;
        installSpellChecker(&edit);
        edit.setPlainText("собака кот мяу");
        QTextCursor cursor = edit.textCursor();
        cursor.setPosition(8);
        cursor.setPosition(2, QTextCursor::KeepAnchor);
        edit.setTextCursor(cursor);
        spellCheckTextEdit(&edit);
        QCOMPARE(edit.textCursor().anchor(), 8);
        QCOMPARE(edit.textCursor().position(), 2);
        QCOMPARE(underlinedWords(edit), QStringList({"собака", "мяу"}));
    }

    // Keystrokes waiting in the queue are not handled inside the walk, so they
    // can neither land at a misspelt word nor start a second walk; once
    // delivered they go where the user's cursor is.
    void textEditKeystrokesLandAtCursor()
    {
        QTextEdit edit;
        installSpellChecker(&edit);
        edit.setPlainText("мяу кот ");
        edit.moveCursor(QTextCursor::End);
        KeyCounter keys(&edit);
        postText(&edit, "дом ав");
        spellCheckTextEdit(&edit);
        QCOMPARE(keys.count, 0);
        QCOMPARE(edit.toPlainText(), QString("мяу кот "));

        QCoreApplication::processEvents();
        QCOMPARE(keys.count, 6);
        QCOMPARE(edit.toPlainText(), QString("мяу кот дом ав"));
        QCOMPARE(edit.textCursor().position(), edit.toPlainText().size());
        QCOMPARE(underlinedWords(edit), QStringList({"мяу", "ав"}));
    }

    // --- installSpellChecker ---

    void installOnDialogHonoursExclusions()
    {
        QDialog dialog;
        auto* plain = new QLineEdit(&dialog);
        auto* excluded = new QLineEdit(&dialog);
        auto* box = new QGroupBox(&dialog);
        auto* insideExcludedBox = new QLineEdit(box);
        auto* combo = new QComboBox(&dialog);
        combo->setEditable(true);
        auto* text = new QTextEdit(&dialog);
        auto* excludedText = new QTextEdit(&dialog);
        UnderlineSpy plainSpy(plain), excludedSpy(excluded), boxSpy(insideExcludedBox), comboSpy(combo->lineEdit());

        installSpellChecker(&dialog, {excluded, box, excludedText});
        installSpellChecker(&dialog, {excluded, box, excludedText});   // a second call adds nothing

        plain->setText("собака");
        excluded->setText("собака");
        insideExcludedBox->setText("собака");
        combo->setEditText("собака");
        text->setPlainText("собака");
        excludedText->setPlainText("собака");

        QCOMPARE(plainSpy.eventCount(), 1);
        QCOMPARE(plainSpy.lastWords(), QStringList{"собака"});
        QCOMPARE(comboSpy.lastWords(), QStringList{"собака"});
        QCOMPARE(excludedSpy.eventCount(), 0);
        QCOMPARE(boxSpy.eventCount(), 0);
        QCOMPARE(underlinedWords(*text), QStringList{"собака"});
        QVERIFY(excludedText->extraSelections().isEmpty());
    }

    void switchedOffInSettings()
    {
        Database::userSettings()->setValue("SpellChecker/enabled", false);
        QDialog dialog;
        auto* line = new QLineEdit(&dialog);
        auto* text = new QTextEdit(&dialog);
        UnderlineSpy spy(line);
        installSpellChecker(&dialog);
        QLineEdit single;
        UnderlineSpy singleSpy(&single);
        installSpellChecker(&single);
        line->setText("собака");
        single.setText("собака");
        text->setPlainText("собака");
        QCOMPARE(spy.eventCount(), 0);
        QCOMPARE(singleSpy.eventCount(), 0);
        QVERIFY(text->extraSelections().isEmpty());

        // Switching it back on affects only what is set up afterwards.
        Database::userSettings()->setValue("SpellChecker/enabled", true);
        line->setText("собака!");
        QCOMPARE(spy.eventCount(), 0);
        installSpellChecker(&dialog);
        line->setText("собака");
        QCOMPARE(spy.eventCount(), 1);
    }

    // The switch stands at the top level of the settings; the same key inside
    // the application's group is not it.
    void switchIsReadOutsideAnyGroup()
    {
        Database::userSettings()->setValue("VelSpo/SpellChecker/enabled", false);
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("собака");
        QCOMPARE(spy.lastWords(), QStringList{"собака"});
    }
};

VELSPO_TEST_MAIN(WidgetUtilitiesTest)
#include "tst_widgetutilities.moc"
