#include "engine/Database.h"
#include "modules/spellchecker/SpellChecker.h"
#include "support/TestEnvironment.h"

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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

QByteArray encode(const char* codec, const QString& text)
{
    return QTextCodec::codecForName(codec)->fromUnicode(text);
}

// A tiny Russian word list in the given encoding; the TRY line lets Hunspell
// suggest by swapping letters.
QByteArray tinyWords(const char* codec = "UTF-8")
{
    return encode(codec, QStringLiteral("4\nкот\nдом\nмама\nмолоко\n"));
}

QString dataDict() { return Database::dataPath() + QStringLiteral("/dict"); }
QString userDictDir() { return Database::userSettingsPath() + QStringLiteral("/dict"); }
QString userDict() { return userDictDir() + QStringLiteral("/user.dic"); }

void installDictionary(const QByteArray& affix = QByteArray("\nSET UTF-8\n"), const QByteArray& words = tinyWords())
{
    writeFile(dataDict() + QStringLiteral("/ru_RU.aff"), affix);
    writeFile(dataDict() + QStringLiteral("/ru_RU.dic"), words);
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

    void affixEncoding_data()
    {
        QTest::addColumn<QByteArray>("affix");
        QTest::addColumn<QString>("encoding");
        QTest::newRow("lower case") << QByteArray("set koi8-r\n") << "koi8-r";
        QTest::newRow("blanks around") << QByteArray("   SET \t KOI8-R   \n") << "KOI8-R";
        QTest::newRow("after comment and blank lines")
            << QByteArray("# \xd1\x81\xd0\xbb\xd0\xbe\xd0\xb2\xd0\xb0ry\n\n   \nSET UTF-8\n") << "UTF-8";
        QTest::newRow("first SET wins") << QByteArray("SET KOI8-R\nSET UTF-8\n") << "KOI8-R";
        QTest::newRow("cut at underscore") << QByteArray("SET ISO8859_1\n") << "ISO8859";
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFSET UTF-8\n") << "UTF-8";
        QTest::newRow("CRLF") << QByteArray("SET UTF-8\r\nTRY a\r\n") << "UTF-8";
        QTest::newRow("no line end") << QByteArray("TRY a\nSET UTF-8") << "UTF-8";
        QTest::newRow("keyword not at line start") << QByteArray("XSET UTF-8\n# SET KOI8-R\n") << "ISO8859-15";
        QTest::newRow("no SET line") << QByteArray("TRY abc\n\nSFX A Y 1\n") << "ISO8859-15";
        QTest::newRow("empty file") << QByteArray("") << "ISO8859-15";
        QTest::newRow("missing file") << QByteArray() << "ISO8859-15";
    }
    void affixEncoding()
    {
        QFETCH(QByteArray, affix);
        QFETCH(QString, encoding);
        QTemporaryDir dir;
        if (!affix.isNull())
            writeFile(dir.filePath("x.aff"), affix);
        QCOMPARE(SpellChecker::readAffixEncoding(dir.filePath("x.aff")), encoding);
    }

    void dictionaryEncodings_data()
    {
        QTest::addColumn<QByteArray>("setLine");
        QTest::addColumn<QByteArray>("codec");
        QTest::newRow("UTF-8") << QByteArray("SET UTF-8\n") << QByteArray("UTF-8");
        // After blank lines: the words must still go through the right codec.
        QTest::newRow("KOI8-R late") << QByteArray("\n# comment\n\nSET KOI8-R\n") << QByteArray("KOI8-R");
        QTest::newRow("Hunspell's name of cp1251") << QByteArray("SET microsoft-cp1251\n") << QByteArray("windows-1251");
    }
    void dictionaryEncodings()
    {
        QFETCH(QByteArray, setLine);
        QFETCH(QByteArray, codec);
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), setLine + encode(codec, QStringLiteral("TRY оакмтдлы\n")));
        writeFile(dir.filePath("ru.dic"), tinyWords(codec));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(checker.isValid());
        QVERIFY(checker.spell("молоко"));
        QVERIFY(!checker.spell("малако"));
        const QStringList suggestions = checker.suggest("дым");
        QVERIFY2(suggestions.contains("дом"), qPrintable(suggestions.join(',')));
        checker.addWord("папа");
        QVERIFY(checker.spell("папа"));
    }

    // Every word would go through a codec that does not exist.
    void encodingWithoutCodecTurnsCheckingOff()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET XYZ-99\n"));
        writeFile(dir.filePath("ru.dic"), tinyWords());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Dictionary encoding \"XYZ-99\" is not supported"));
        SpellChecker checker(dir.filePath("ru"), QString());
        QVERIFY(!checker.isValid());
        QVERIFY(checker.spell("абвгд")); // nothing is underlined
        QVERIFY(checker.suggest("абвгд").isEmpty());
        checker.addWord("абвгд");

        installDictionary(QByteArray("\nSET XYZ-99\n"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is not supported"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(!SpellChecker::instance());
    }

    void initWithoutUsableWordFile()
    {
        writeFile(dataDict() + "/ru_RU.aff", QByteArray("SET UTF-8\n"));
        QVERIFY(!SpellChecker::init());
        QVERIFY(!QFileInfo::exists(userDictDir()));
        QVERIFY(QDir().mkpath(dataDict() + "/ru_RU.dic")); // a directory
        QVERIFY(!SpellChecker::init());
        QVERIFY(!SpellChecker::instance());
    }

    void userDictionaryCreatedAndKeptAcrossRestart()
    {
        installDictionary();
        QVERIFY(SpellChecker::init());
        SpellChecker* first = SpellChecker::instance();
        QCOMPARE(readFile(userDict()), QByteArray());
        QCOMPARE(first->userDictionaryPath(), userDict());
        QVERIFY(SpellChecker::init());
        QCOMPARE(SpellChecker::instance(), first);

        QVERIFY(!first->spell("абырвалг"));
        QVERIFY(first->addToUserWordlist("абырвалг"));
        QVERIFY(first->spell("абырвалг"));
        // Never an empty word or one with a line break; blanks around are dropped.
        QVERIFY(!first->addToUserWordlist("   \t "));
        QVERIFY(!first->addToUserWordlist("два\nслова"));
        QVERIFY(first->addToUserWordlist("  главрыба "));
        QCOMPARE(readFile(userDict()), QString("абырвалг\nглаврыба\n").toUtf8());

        SpellChecker::destroy();
        QVERIFY(SpellChecker::init());
        QVERIFY(SpellChecker::instance()->spell("абырвалг"));
        QVERIFY(SpellChecker::instance()->spell("главрыба"));
        QVERIFY(!SpellChecker::instance()->spell("рыбаглав"));
    }

    void userDictionaryPastEmptyLinesAndWithoutLastLineFeed()
    {
        installDictionary();
        writeFile(userDict(), QString("слон\n\n   \nжираф\r\n\nзебра").toUtf8());
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        for (const char* word : {"слон", "жираф", "зебра"})
            QVERIFY2(checker->spell(QString::fromUtf8(word)), word);
        QVERIFY(checker->addToUserWordlist("бегемот"));
        QCOMPARE(readFile(userDict()), QString("слон\n\n   \nжираф\r\n\nзебра\nбегемот\n").toUtf8());
    }

    void unreadableUserDictionary()
    {
        installDictionary();
        QVERIFY(QDir().mkpath(userDict())); // a directory where the list should be
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("User dictionary in \".*/dict/user\\.dic\" could not be opened$"));
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(checker->spell("кот"));
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression("User dictionary in \".*\" could not be opened for appending a new word$"));
        QVERIFY(!checker->addToUserWordlist("носорог"));
        QVERIFY(checker->spell("носорог")); // accepted for the rest of the run
        QVERIFY(QFileInfo(userDict()).isDir());
    }

    void unwritableOrNoUserDictionary()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("ru.aff"), QByteArray("SET UTF-8\n"));
        writeFile(dir.filePath("ru.dic"), tinyWords());
        const QString missing = dir.filePath("no/such/dir/user.dic");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened$"));
        SpellChecker unwritable(dir.filePath("ru"), missing);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be opened for appending a new word$"));
        QVERIFY(!unwritable.addToUserWordlist("носорог"));
        QVERIFY(unwritable.spell("носорог"));
        QVERIFY(!QFileInfo::exists(missing));

        // Without a path the word is kept for the run and nothing is written.
        SpellChecker without(dir.filePath("ru"), QString());
        QVERIFY(without.addToUserWordlist("носорог"));
        QVERIFY(without.spell("носорог"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    }

    void installedRussianDictionary()
    {
        const QString source = QStringLiteral("/usr/share/hunspell/ru_RU");
        if (!QFileInfo::exists(source + ".dic"))
            QSKIP("hunspell-ru is not installed");
        QVERIFY(QDir().mkpath(dataDict()));
        QVERIFY(QFile::copy(source + ".aff", dataDict() + "/ru_RU.aff") && QFile::copy(source + ".dic", dataDict() + "/ru_RU.dic"));
        QVERIFY(SpellChecker::init());
        SpellChecker* checker = SpellChecker::instance();
        QVERIFY(checker->spell("образования") && checker->spell("Москва"));
        QVERIFY(!checker->spell("малако"));
        QVERIFY(checker->suggest("малоко").contains("молоко"));
    }
};

VELSPO_TEST_MAIN(SpellCheckerTest)
#include "tst_spellchecker.moc"
