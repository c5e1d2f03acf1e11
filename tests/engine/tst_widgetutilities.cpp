#include "support/DocumentFixtures.h"
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
#include <QSettings>
#include <QStandardItemModel>
#include <QTextEdit>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// Records the underlined words and their format that a line edit receives
// through input method events.
class UnderlineSpy : public QObject
{
public:
    explicit UnderlineSpy(QLineEdit* edit) : m_edit(edit) { edit->installEventFilter(this); }

    int eventCount = 0;
    QStringList words;
    QTextCharFormat format;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_edit && event->type() == QEvent::InputMethod) {
            ++eventCount;
            words.clear();
            for (const QInputMethodEvent::Attribute& a : static_cast<QInputMethodEvent*>(event)->attributes()) {
                if (a.type != QInputMethodEvent::TextFormat)
                    continue;
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

QStandardItemModel* grid(int rows, int columns, QObject* parent)
{
    auto* model = new QStandardItemModel(rows, columns, parent);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            model->setItem(r, c, new QStandardItem(QString("r%1c%2").arg(r).arg(c)));
    return model;
}

QString rowsOf(const QStandardItemModel* model)
{
    QStringList rows;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->item(r, c)->text();
        rows << cells.join(' ');
    }
    return rows.join(" | ");
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

    // --- small helpers ---

    void labelWrapsAtItsWidth_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("wrapped");
        QTest::newRow("empty") << QString() << QString();
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
        QCOMPARE(label.text(), wrapped);
        QCOMPARE(label.width(), fm.horizontalAdvance("слово слово") + 2);
        if (wrapped.isEmpty())
            QCOMPARE(label.height(), 5);
        else
            QVERIFY(label.height() >= (wrapped.count('\n') + 1) * fm.lineSpacing());
        setLabelWrappedText(text, nullptr);
    }

    void swapRowsFromStartColumn()
    {
        QObject owner;
        QStandardItemModel* model = grid(3, 3, &owner);
        swapModelRows(model, 0, 2, 1);
        QCOMPARE(rowsOf(model), QString("r0c0 r2c1 r2c2 | r1c0 r1c1 r1c2 | r2c0 r0c1 r0c2"));
        // Rows that do not both exist change nothing.
        for (const QPoint& rows : {QPoint(0, 3), QPoint(3, 0), QPoint(-1, 1), QPoint(5, 7)})
            swapModelRows(model, rows.x(), rows.y(), 0);
        swapModelRows(nullptr, 0, 1, 0);
        QCOMPARE(rowsOf(model), QString("r0c0 r2c1 r2c2 | r1c0 r1c1 r1c2 | r2c0 r0c1 r0c2"));
        swapModelRows(model, 0, 1, -3); // a negative start column means all columns
        QCOMPARE(rowsOf(model), QString("r1c0 r1c1 r1c2 | r0c0 r2c1 r2c2 | r2c0 r0c1 r0c2"));
    }

    void geometrySavedAndRestored()
    {
        QWidget first;
        first.setObjectName("SampleDialog");
        first.setGeometry(40, 50, 321, 234);
        saveWidgetGeometry(&first);
        QCOMPARE(Database::userSettings()->value("VelSpo/SampleDialogGeometry").toByteArray(), first.saveGeometry());
        QWidget second;
        second.setObjectName("SampleDialog");
        restoreWidgetGeometry(&second);
        QCOMPARE(second.size(), QSize(321, 234));
        second.setObjectName("OtherDialog");
        second.resize(111, 99);
        restoreWidgetGeometry(&second); // nothing stored: unchanged
        QCOMPARE(second.size(), QSize(111, 99));
        QCOMPARE(Database::userSettings()->group(), QString());
        saveWidgetGeometry(nullptr);
        restoreWidgetGeometry(nullptr);
    }

    void comboFilledByFrequency()
    {
        QVERIFY(Database::init(true));
        QVERIFY(DocumentFixtures::exec("CREATE TABLE Sample (name TEXT)"));
        for (const char* value :
             {"Брянск", "Астрахань", "Воронеж", "Брянск", " Брянск ", "Воронеж", "", "   ", "   ", "Брянск"})
            QVERIFY(DocumentFixtures::exec("INSERT INTO Sample (name) VALUES (?)", {QString::fromUtf8(value)}));

        QComboBox editable;
        editable.setEditable(true);
        editable.setEditText("набрано");
        fillComboBoxFromDb("Sample", "name", &editable, 0);
        QCOMPARE(QStringList({editable.itemText(0), editable.itemText(1), editable.itemText(2)}),
                 QStringList({"Брянск", "Воронеж", "Астрахань"}));
        QCOMPARE(editable.count(), 3);
        QCOMPARE(editable.currentText(), QString());
        QCOMPARE(editable.completer()->caseSensitivity(), Qt::CaseSensitive);

        QComboBox limited;
        limited.addItem("первый");
        fillComboBoxFromDb("Sample", "name", &limited, 2);
        QCOMPARE(QStringList({limited.itemText(0), limited.itemText(1), limited.itemText(2)}),
                 QStringList({"первый", "Брянск", "Воронеж"}));
        QCOMPARE(limited.count(), 3);
        fillComboBoxFromDb("Sample", "name", nullptr, 0);
    }

    // --- spell checking in line edits ---

    void lineEditUnderlinesRejectedWords_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("underlined");
        QTest::newRow("mixed") << "кот собака, дом;мяу" << QStringList{"собака", "мяу"};
        QTest::newRow("letters and digits together") << "кот123 дом" << QStringList{"кот123"};
        QTest::newRow("punctuation separates") << "кот,дом.мама!молоко" << QStringList();
        QTest::newRow("hyphen separates") << "кот-пёс" << QStringList{"пёс"};
        QTest::newRow("only punctuation") << " ,.;! " << QStringList();
    }

    void lineEditUnderlinesRejectedWords()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, underlined);
        QLineEdit edit;
        UnderlineSpy spy(&edit);
        installSpellChecker(&edit);
        edit.setText("собака");
        edit.setText(text);
        QCOMPARE(spy.eventCount, 2);
        QCOMPARE(spy.words, underlined);
        if (!underlined.isEmpty()) {
            QCOMPARE(spy.format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
            QCOMPARE(spy.format.underlineColor(), QColor("red"));
        }
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
        QCOMPARE(spy.words, QStringList{"собака"});

        // Typing in the middle: the text lands at the cursor and the underline
        // follows the changed word.
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("х"));
        QCoreApplication::sendEvent(&edit, &key);
        QCOMPARE(edit.text(), QString("собхака кот"));
        QCOMPARE(edit.cursorPosition(), 4);
        QCOMPARE(spy.words, QStringList{"собхака"});
    }

    void passwordsAndMissingCheckerAreLeftAlone()
    {
        QLineEdit password;
        password.setEchoMode(QLineEdit::PasswordEchoOnEdit);
        UnderlineSpy passwordSpy(&password);
        installSpellChecker(&password);
        password.setText("собака");
        spellCheckLineEdit(&password);
        QCOMPARE(passwordSpy.eventCount, 0);

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
        QCOMPARE(spy.eventCount, 0);
        QVERIFY(text.extraSelections().isEmpty());
    }

    // --- spell checking in text edits ---

    void textEditUnderlinesRejectedWordsAndKeepsTheCursor()
    {
        QTextEdit edit;
        installSpellChecker(&edit);
        edit.setPlainText("кот собака\nдом, мяу! 2кот 3-й 123\n\nмама «пёс»");
        QCOMPARE(underlinedWords(edit), QStringList({"собака", "мяу", "й", "пёс"}));
        const QTextEdit::ExtraSelection first = edit.extraSelections().first();
        QCOMPARE(first.format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
        QCOMPARE(first.format.underlineColor(), QColor("red"));
        QCOMPARE(first.cursor.selectionStart(), 4);

        QTextCursor cursor = edit.textCursor();
        cursor.setPosition(8);
        cursor.setPosition(2, QTextCursor::KeepAnchor);
        edit.setTextCursor(cursor);
        spellCheckTextEdit(&edit);
        QCOMPARE(edit.textCursor().anchor(), 8);
        QCOMPARE(edit.textCursor().position(), 2);

        edit.setPlainText("кот дом");
        QVERIFY(edit.extraSelections().isEmpty());
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
        for (const QChar c : QString("дом ав")) {
            QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)));
            QCoreApplication::postEvent(&edit, new QKeyEvent(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c)));
        }
        spellCheckTextEdit(&edit);
        QCOMPARE(edit.toPlainText(), QString("мяу кот "));
        QCoreApplication::processEvents();
        QCOMPARE(edit.toPlainText(), QString("мяу кот дом ав"));
        QCOMPARE(edit.textCursor().position(), edit.toPlainText().size());
        QCOMPARE(underlinedWords(edit), QStringList({"мяу", "ав"}));
    }

    // --- where the checker is installed ---

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
        installSpellChecker(&dialog, {excluded, box, excludedText}); // a second call adds nothing
        for (QLineEdit* edit : {plain, excluded, insideExcludedBox, combo->lineEdit()})
            edit->setText("собака");
        text->setPlainText("собака");
        excludedText->setPlainText("собака");

        QCOMPARE(plainSpy.eventCount, 1);
        QCOMPARE(plainSpy.words, QStringList{"собака"});
        QCOMPARE(comboSpy.words, QStringList{"собака"});
        QCOMPARE(excludedSpy.eventCount + boxSpy.eventCount, 0);
        QCOMPARE(underlinedWords(*text), QStringList{"собака"});
        QVERIFY(excludedText->extraSelections().isEmpty());
    }

    void switchedOffInSettings()
    {
        // The switch stands at the top level of the settings; the same key
        // inside the application's group is not it.
        Database::userSettings()->setValue("VelSpo/SpellChecker/enabled", false);
        QLineEdit grouped;
        UnderlineSpy groupedSpy(&grouped);
        installSpellChecker(&grouped);
        grouped.setText("собака");
        QCOMPARE(groupedSpy.words, QStringList{"собака"});

        Database::userSettings()->setValue("SpellChecker/enabled", false);
        QDialog dialog;
        auto* line = new QLineEdit(&dialog);
        auto* text = new QTextEdit(&dialog);
        UnderlineSpy spy(line);
        installSpellChecker(&dialog);
        line->setText("собака");
        text->setPlainText("собака");
        QCOMPARE(spy.eventCount, 0);
        QVERIFY(text->extraSelections().isEmpty());

        // Switching it back on affects only what is set up afterwards.
        Database::userSettings()->setValue("SpellChecker/enabled", true);
        line->setText("собака!");
        QCOMPARE(spy.eventCount, 0);
        installSpellChecker(&dialog);
        line->setText("собака");
        QCOMPARE(spy.eventCount, 1);
    }
};

VELSPO_TEST_MAIN(WidgetUtilitiesTest)
#include "tst_widgetutilities.moc"
