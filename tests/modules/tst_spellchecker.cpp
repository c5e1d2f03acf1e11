#include "support/TestEnvironment.h"

#include "engine/Database.h"
#include "modules/spellchecker/SpellChecker.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextCodec>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

QByteArray encode(const char* codec, const QString& text)
{
    return QTextCodec::codecForName(codec)->fromUnicode(text);
}

// A tiny Russian word list in the given encoding; the TRY line lets Hunspell
// suggest by swapping letters.
QByteArray tinyWords(const char* codec)
{
    return encode(codec, QStringLiteral("4\nкот\nдом\nмама\nмолоко\n"));
}
QByteArray tinyTry(const char* codec)
{
    return encode(codec, QStringLiteral("TRY оакмтдлы\n"));
}

QString dataDict() { return Database::dataPath() + QStringLiteral("/dict"); }
QString userDictDir() { return Database::userSettingsPath() + QStringLiteral("/dict"); }
QString userDict() { return userDictDir() + QStringLiteral("/user.dic"); }

void installTinyDictionary()
{
    writeFile(dataDict() + QStringLiteral("/ru_RU.aff"), QByteArray("\nSET UTF-8\n") + tinyTry("UTF-8"));
    writeFile(dataDict() + QStringLiteral("/ru_RU.dic"), tinyWords("UTF-8"));
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
        QDir(userDictDir()).removeRecursively();
    }

    // --- the encoding named by the affix file ---

    void affixEncoding_data()
    {
        QTest::addColumn<QByteArray>("affix");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("first line") << QByteArray("SET UTF-8\nTRY abc\n") << "UTF-8";
        QTest::newRow("lower case") << QByteArray("set koi8-r\n") << "koi8-r";
        QTest::newRow("blanks around") << QByteArray("   SET \t KOI8-R   \n") << "KOI8-R";
        QTest::newRow("after empty lines") << QByteArray("\n\nSET KOI8-R\n") << "KOI8-R";
        QTest::newRow("after comment and blank line")
            << QByteArray("# \xd1\x81\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xb0\x72\x79\n\n   \nSET UTF-8\n") << "UTF-8";
        QTest::newRow("first SET wins") << QByteArray("SET KOI8-R\nSET UTF-8\n") << "KOI8-R";
        QTest::newRow("cut at underscore") << QByteArray("SET ISO8859_1\n") << "ISO8859";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFSET UTF-8\n") << "UTF-8";
        QTest::newRow("CRLF") << QByteArray("SET UTF-8\r\nTRY a\r\n") << "UTF-8";
        QTest::newRow("no line end") << QByteArray("TRY a\nSET UTF-8") << "UTF-8";
        QTest::newRow("keyword not at line start") << QByteArray("XSET UTF-8\n# SET KOI8-R\n") << "ISO8859-15";
        QTest::newRow("no SET line") << QByteArray("TRY abc\n\nSFX A Y 1\n") << "ISO8859-15";
        QTest::newRow("empty file") << QByteArray() << "ISO8859-15";
    }
    void affixEncoding()
    {
        QFETCH(QByteArray, affix);
        QFETCH(QString, encoding);
        QTemporaryDir dir;
        writeFile(dir.filePath("x.aff"), affix);
        QCOMPARE(SpellChecker::readAffixEncoding(dir.filePath("x.aff")), encoding);
    }

    void missingAffixFileKeepsDefault()
    {
        QCOMPARE(SpellChecker::readAffixEncoding("/nonexistent/x.aff"), QString("ISO8859-15"));
    }

    // --- the engine in various encodings ---

    void utf8Dictionary()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET UTF-8\n") + tinyTry("UTF-8"));
        writeFile(dir.filePath("ru.dic"), tinyWords("UTF-8"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.isValid());
        QCOMPARE(checker.encoding(), QString("UTF-8"));
        QVERIFY(checker.spell("кот"));
        QVERIFY(checker.spell("молоко"));
        QVERIFY(!checker.spell("кит"));
        QVERIFY(!checker.spell("малако"));
        QVERIFY(checker.suggest("мапа").contains("мама"));
        QVERIFY(checker.suggest("кот").isEmpty() || !checker.suggest("кот").contains(QString()));
    }

    // The SET line comes after blank lines: the words must still go through
    // the right codec, or every Cyrillic word would be rejected.
    void koi8DictionaryAfterBlankLines()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("\n# comment\n\nSET KOI8-R\n") + tinyTry("KOI8-R"));
        writeFile(dir.filePath("ru.dic"), tinyWords("KOI8-R"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.isValid());
        QCOMPARE(checker.encoding(), QString("KOI8-R"));
        QVERIFY(checker.spell("дом"));
        QVERIFY(checker.spell("мама"));
        QVERIFY(!checker.spell("папа"));
        const QStringList suggestions = checker.suggest("дым");
        QVERIFY2(suggestions.contains("дом"), qPrintable(suggestions.join(',')));
        checker.addWord("папа");
        QVERIFY(checker.spell("папа"));
    }

    void windowsCodePageUnderHunspellName()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET microsoft-cp1251\n") + tinyTry("windows-1251"));
        writeFile(dir.filePath("ru.dic"), tinyWords("windows-1251"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.isValid());
        QVERIFY(checker.spell("молоко"));
        QVERIFY(!checker.spell("малако"));
    }

    void encodingWithoutCodecTurnsCheckingOff()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET XYZ-99\n"));
        writeFile(dir.filePath("ru.dic"), tinyWords("UTF-8"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Dictionary encoding \"XYZ-99\" is not supported"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(!checker.isValid());
        QCOMPARE(checker.encoding(), QString("XYZ-99"));
        QVERIFY(checker.spell("абвгд"));   // nothing is underlined
        QVERIFY(checker.suggest("абвгд").isEmpty());
        checker.addWord("абвгд");          // no conversion through a missing codec
    }

    void initRefusesEncodingWithoutCodec()
    {
        writeFile(dataDict() + "/ru_RU.aff", QByteArray("\nSET XYZ-99\n"));
        writeFile(dataDict() + "/ru_RU.dic", tinyWords("UTF-8"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not supported"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(!SpellChecker::instance());
    }

    // --- init ---

    void initWithoutWordFile()
    {
        writeFile(dataDict() + "/ru_RU.aff", QByteArray("SET UTF-8\n"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(!SpellChecker::instance());
        QVERIFY(!QFileInfo::exists(userDictDir()));
    }

    void initWithWordFileAsDirectory()
    {
        QVERIFY(QDir().mkpath(dataDict() + "/ru_RU.dic"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(!SpellChecker::instance());
    }

    void initCreatesEmptyUserDictionary()
    {
        installTinyDictionary();
        QVERIFY(SpellChecker::init());
        SpellChecker* first = SpellChecker::instance();
        QVERIFY(first);
        QVERIFY(QFileInfo(userDict()).isFile());
        QCOMPARE(QFileInfo(userDict()).size(), qint64(0));
        QCOMPARE(first->userDictionaryPath(), userDict());
        QVERIFY(first->spell("кот"));

        QVERIFY(SpellChecker::init());
        QCOMPARE(SpellChecker::instance(), first);
    }

    // --- the user dictionary ---

    void userDictionaryAcrossRestart()
    {
        installTinyDictionary();
        QVERIFY(SpellChecker::init());
        QVERIFY(!SpellChecker::instance()->spell("абырвалг"));
        QVERIFY(SpellChecker::instance()->addToUserWordlist("абырвалг"));
        QVERIFY(SpellChecker::instance()->spell("абырвалг"));
        QVERIFY(SpellChecker::instance()->addToUserWordlist("главрыба"));
        QCOMPARE(readFile(userDict()), QString("абырвалг\nглаврыба\n").toUtf8());

        SpellChecker::destroy();
        QVERIFY(!SpellChecker::instance());
        QVERIFY(SpellChecker::init());
        QVERIFY(SpellChecker::instance()->spell("абырвалг"));
        QVERIFY(SpellChecker::instance()->spell("главрыба"));
        QVERIFY(!SpellChecker::instance()->spell("рыбаглав"));
    }

    void userDictionaryReadsPastEmptyLines()
    {
        installTinyDictionary();
        writeFile(userDict(), QString("слон\n\n   \nжираф\r\n\nзебра").toUtf8());
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(checker->spell("слон"));
        QVERIFY(checker->spell("жираф"));
        QVERIFY(checker->spell("зебра"));
        QVERIFY(!checker->spell("бегемот"));
    }

    void emptyWordIsNeverAdded()
    {
        installTinyDictionary();
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(!checker->addToUserWordlist(QString()));
        QVERIFY(!checker->addToUserWordlist("   \t "));
        QVERIFY(!checker->addToUserWordlist("два\nслова"));
        QCOMPARE(readFile(userDict()), QByteArray());

        QVERIFY(checker->addToUserWordlist("  бегемот "));
        QCOMPARE(readFile(userDict()), QString("бегемот\n").toUtf8());
        QVERIFY(checker->spell("бегемот"));
    }

    void appendingKeepsEarlierWords()
    {
        installTinyDictionary();
        writeFile(userDict(), QString("слон").toUtf8());   // no final line feed
        QVERIFY(SpellChecker::init());
        QVERIFY(SpellChecker::instance()->addToUserWordlist("жираф"));
        QCOMPARE(readFile(userDict()), QString("слон\nжираф\n").toUtf8());
    }

    void unreadableUserDictionary()
    {
        installTinyDictionary();
        QVERIFY(QDir().mkpath(userDict()));   // a directory where the list should be
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("User dictionary in \".*/dict/user\\.dic\" could not be opened$"));
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(checker->spell("кот"));

        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("User dictionary in \".*\" could not be opened for appending a new word$"));
        QVERIFY(!checker->addToUserWordlist("носорог"));
        QVERIFY(checker->spell("носорог"));   // accepted for the rest of the run
        QVERIFY(QFileInfo(userDict()).isDir());
    }

    void unwritableUserDictionary()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET UTF-8\n"));
        writeFile(dir.filePath("ru.dic"), tinyWords("UTF-8"));
        const QString missing = dir.filePath("no/such/dir/user.dic");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened$"));
        SpellChecker checker(dir.filePath("ru"), missing);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened for appending a new word$"));
        QVERIFY(!checker.addToUserWordlist("носорог"));
        QVERIFY(checker.spell("носорог"));
        QVERIFY(!QFileInfo::exists(missing));
    }

    void withoutUserDictionaryPathNothingIsWritten()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET UTF-8\n"));
        writeFile(dir.filePath("ru.dic"), tinyWords("UTF-8"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.addToUserWordlist("носорог"));
        QVERIFY(checker.spell("носорог"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    // --- the Debian Russian dictionary ---

    void debianRussianDictionary()
    {
        const QString source = QStringLiteral("/usr/share/hunspell/ru_RU");
        if (!QFileInfo::exists(source + ".dic"))
            QSKIP("hunspell-ru is not installed");
        QDir().mkpath(dataDict());
        QVERIFY(QFile::copy(source + ".aff", dataDict() + "/ru_RU.aff"));
        QVERIFY(QFile::copy(source + ".dic", dataDict() + "/ru_RU.dic"));
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QCOMPARE(checker->encoding(), QString("UTF-8"));
        QVERIFY(checker->spell("молоко"));
        QVERIFY(checker->spell("образования"));
        QVERIFY(checker->spell("Москва"));
        QVERIFY(checker->spell("2023"));
        QVERIFY(!checker->spell("малако"));
        const QStringList suggestions = checker->suggest("малоко");
        QVERIFY2(suggestions.contains("молоко"), qPrintable(suggestions.join(',')));
        QVERIFY(!checker->spell("ВЕЛФОРМА"));
        QVERIFY(checker->addToUserWordlist("велформа"));
        QVERIFY(checker->spell("велформа"));
        SpellChecker::destroy();
        QVERIFY(SpellChecker::init());
        QVERIFY(SpellChecker::instance()->spell("велформа"));
    }
};

VELSPO_TEST_MAIN(SpellCheckerTest)
#include "tst_spellchecker.moc"
