#include "engine/DatabaseFixtures.h"
#include "modules/preferences/PreferencesDialog.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/FormWidgets.h"
#include "support/Typing.h"
#include "support/ModalAnswerer.h"
#include "support/NamedPipe.h"
#include "support/TestEnvironment.h"

#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>

using namespace FormWidgets;

namespace {

// Makes the missing directories.
void writeFile(const QString& path, const QByteArray& bytes) { QVERIFY2(DatabaseFixtures::writeBytes(path, bytes), qPrintable(path)); }

QByteArray tinyWords(const char* codec = "UTF-8")
{
    return QTextCodec::codecForName(codec)->fromUnicode(QStringLiteral("4\nкот\nдом\nмама\nмолоко\n"));
}

QString dataDict() { return Database::dataPath() + "/dict"; }
QString userDict() { return Database::userSettingsPath() + "/dict/user.dic"; }

void installDictionary(const QByteArray& affix = "SET UTF-8\n")
{
    writeFile(dataDict() + "/ru_RU.aff", affix);
    writeFile(dataDict() + "/ru_RU.dic", tinyWords());
}

} // namespace

class SpellCheckerTest : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        SpellChecker::destroy();
        QDir(dataDict()).removeRecursively();
        QDir(Database::userSettingsPath() + "/dict").removeRecursively();
    }

    void dictionaryEncodings_data()
    {
        QTest::addColumn<QByteArray>("affix");
        QTest::addColumn<QByteArray>("codec"); // of the words; none: the encoding alone is read
        QTest::addColumn<QString>("encoding");
        QTest::newRow("KOI8-R late") << QByteArray("# \xd1\x81\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xb0\n\n   \nSET KOI8-R\n")
                                     << QByteArray("KOI8-R") << "KOI8-R";
        QTest::newRow("lower case, blanks") << QByteArray("  set \t koi8-r  \n") << QByteArray() << "koi8-r";
        QTest::newRow("first SET wins") << QByteArray("SET KOI8-R\nSET UTF-8\n") << QByteArray("KOI8-R") << "KOI8-R";
        QTest::newRow("byte order mark, CRLF") << QByteArray("\xEF\xBB\xBFSET UTF-8\r\n") << QByteArray("UTF-8") << "UTF-8";
        QTest::newRow("Hunspell's name of cp1251") << QByteArray("SET microsoft-cp1251\n") << QByteArray("windows-1251")
                                                   << "microsoft-cp1251";
        QTest::newRow("keyword not at line start") << QByteArray("XSET UTF-8\n# SET KOI8-R\n") << QByteArray() << "ISO8859-15";
        QTest::newRow("missing file") << QByteArray() << QByteArray() << "ISO8859-15";
    }
    void dictionaryEncodings()
    {
        QFETCH(QByteArray, affix);
        QFETCH(QByteArray, codec);
        QTemporaryDir dir;
        // The TRY line lets Hunspell suggest by swapping letters.
        if (!affix.isNull())
            writeFile(dir.filePath("ru.aff"), codec.isEmpty() ? affix : affix + QTextCodec::codecForName(codec)->fromUnicode("TRY оакмтдлы\n"));
        QTEST(SpellChecker::readAffixEncoding(dir.filePath("ru.aff")), "encoding");
        if (codec.isEmpty())
            return;
        writeFile(dir.filePath("ru.dic"), tinyWords(codec));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.spell("молоко") && !checker.spell("малако"));
        QVERIFY2(checker.suggest("дым").contains("дом"), qPrintable(checker.suggest("дым").join(',')));
        checker.addWord("папа");
        QVERIFY(checker.spell("папа"));
    }

    void unusableDictionary()
    {
        PreferencesDialog dialog; // without a checker: a red notice, nothing to switch or add
        QCOMPARE(states(&dialog, {{'S', "checkBoxSpellChecking"}, {'W', "groupBoxAddWord"}}), QStringLiteral("S-W-"));
        QCOMPARE(child<QLabel>(&dialog, "labelSpellCheckerState")->styleSheet(), QStringLiteral("color: red;"));
        writeFile(dataDict() + "/ru_RU.aff", "SET UTF-8\n");
        QVERIFY(!SpellChecker::init()); // no word file
        QVERIFY(QDir().mkpath(dataDict() + "/ru_RU.dic")); // a directory
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ru_RU\\.dic\" is not a regular file; spell checking is off$"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(QDir(dataDict() + "/ru_RU.dic").removeRecursively());
        // Every word would go through a codec that does not exist.
        installDictionary("SET XYZ-99\n");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Dictionary encoding \"XYZ-99\" is not supported"));
        SpellChecker checker(dataDict() + "/ru_RU", QString());
        checker.addWord("абвгд");
        QVERIFY(checker.spell("абвгд") && checker.suggest("абвгд").isEmpty()); // nothing underlined
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not supported"));
        QVERIFY(!SpellChecker::init() && !SpellChecker::instance());
    }

    // A named pipe where a dictionary file should be (the data folder is
    // shared by every user) is never opened: opening it would wait for good.
    void pipesInPlaceOfDictionaryFiles_data()
    {
        QTest::addColumn<QString>("pipe");
        QTest::addColumn<bool>("checking");
        QTest::addColumn<QString>("warning");
        QTest::newRow("word file") << "/dict/ru_RU.dic" << false << "ru_RU\\.dic\" is not a regular file; spell checking is off$";
        QTest::newRow("affix file") << "/dict/ru_RU.aff" << true << "ru_RU\\.aff\" is not a regular file; not read$";
        QTest::newRow("beside a missing affix file") << "/dict/ru_RU.aff.hz" << true << "";
        QTest::newRow("user dictionary") << "user" << true << "user\\.dic\" could not be opened$";
    }
    void pipesInPlaceOfDictionaryFiles()
    {
        QFETCH(QString, pipe);
        QFETCH(bool, checking);
        QFETCH(QString, warning);
        writeFile(dataDict() + "/ru_RU.aff", "SET UTF-8\n");
        writeFile(dataDict() + "/ru_RU.dic", tinyWords());
        const QString path = pipe == "user" ? userDict() : Database::dataPath() + pipe;
        QFile::remove(path);
        if (pipe.endsWith(".hz"))
            QFile::remove(dataDict() + "/ru_RU.aff");
        NamedPipe named(path, 5000);
        QVERIFY(named.isValid());
        if (!warning.isEmpty())
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        QCOMPARE(SpellChecker::init(), checking);
        if (checking) {
            if (pipe == "user") // not written either; the word holds for the run
                QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened for appending a new word$"));
            QCOMPARE(SpellChecker::instance()->addToUserWordlist("носорог"), pipe != "user");
            QVERIFY(SpellChecker::instance()->spell("носорог"));
        }
        QVERIFY2(!named.released(), "waited on the pipe");
        QVERIFY(named.isStillThere());
    }

    void userDictionaryKeptAcrossRestart()
    {
        installDictionary();
        // Past empty lines, CRLF and a missing last line feed.
        const QByteArray stored = QString("слон\n\n   \nжираф\r\n\nзебра").toUtf8();
        writeFile(userDict(), stored);
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(checker->spell("слон") && checker->spell("жираф") && checker->spell("зебра"));
        QVERIFY(checker->addToUserWordlist("абырвалг"));
        QVERIFY(!checker->addToUserWordlist("два\nслова"));
        PreferencesDialog dialog; // never an empty word; blanks around are dropped
        for (const char* word : {"", "   \t ", "  главрыба "}) {
            Typing::type(edit(&dialog, "lineEditUserWord"), QString::fromUtf8(word));
            button(&dialog, "pushButtonAddWord")->click();
        }
        QCOMPARE(DatabaseFixtures::readBytes(userDict()), stored + QString("\nабырвалг\nглаврыба\n").toUtf8());
        SpellChecker::destroy();
        QVERIFY(SpellChecker::init());
        checker = SpellChecker::instance();
        QVERIFY(checker->spell("абырвалг") && checker->spell("главрыба") && !checker->spell("рыбаглав"));
    }

    void unreadableOrNoUserDictionary()
    {
        installDictionary();
        QVERIFY(QDir().mkpath(userDict())); // a directory where the list should be
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("User dictionary in \".*/dict/user\\.dic\" could not be opened$"));
        QVERIFY(SpellChecker::init());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened for appending a new word$"));
        QVERIFY(!SpellChecker::instance()->addToUserWordlist("носорог"));
        QVERIFY(SpellChecker::instance()->spell("носорог")); // accepted for the rest of the run
        // Added in the preferences, the user is told, and the word stays to try again.
        PreferencesDialog dialog;
        ModalAnswerer answerer;
        Typing::type(edit(&dialog, "lineEditUserWord"), " бегемот");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened for appending a new word$"));
        button(&dialog, "pushButtonAddWord")->click();
        QCOMPARE(answerer.texts(), QStringList("Не удалось записать слово «бегемот» в пользовательский словарь " + userDict()
                                               + ".\nСлово будет считаться верным только до закрытия программы."));
        QCOMPARE(edit(&dialog, "lineEditUserWord")->text(), QStringLiteral(" бегемот"));
        // Without a path the word is kept for the run and nothing is written.
        SpellChecker without(dataDict() + "/ru_RU", QString());
        QVERIFY(without.addToUserWordlist("бегемот") && without.spell("бегемот"));
        QCOMPARE(QDir(dataDict()).entryList(QDir::Files).size(), 2);
    }
};

VELSPO_TEST_MAIN(SpellCheckerTest)
#include "tst_spellchecker.moc"
