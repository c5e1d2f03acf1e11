#include "SpellChecker.h"

#include "engine/Database.h"
#include "engine/MessageLog.h"
#include "engine/RegularFile.h"
#include "report/AtomicFileWriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <QTextStream>

#include <hunspell/hunspell.hxx>

#define SPELL_WARNING qWarning() << MessageLog::sourceName(__FILE__) << ":" << __LINE__ << "\t"

namespace {

SpellChecker* g_instance = nullptr;

const char* const DefaultEncoding = "ISO8859-15";

// Hunspell knows a few encodings under names that Qt does not.
QTextCodec* codecForEncoding(const QString& encoding)
{
    if (encoding.compare(QLatin1String("microsoft-cp1251"), Qt::CaseInsensitive) == 0)
        return QTextCodec::codecForName("windows-1251");
    return QTextCodec::codecForName(encoding.toLatin1());
}

} // namespace

bool SpellChecker::init()
{
    if (g_instance)
        return true;

    const QString base = Database::dataPath() + QStringLiteral("/dict/ru_RU");
    const QString userList = Database::userSettingsPath() + QStringLiteral("/dict/user.dic");

    const QString wordPath = base + QStringLiteral(".dic");
    if (!RegularFile::isRegularOrAbsent(wordPath)) {
        SPELL_WARNING << "Dictionary file" << wordPath << "is not a regular file; spell checking is off";
        return false;
    }
    if (!QFileInfo::exists(wordPath))
        return false;

    QDir(Database::userSettingsPath()).mkdir(QStringLiteral("dict"));
    // Only a missing list is made: opening a named pipe in its place for
    // writing would wait for a reader for good.
    if (!QFileInfo::exists(userList)) {
        QFile file(userList);
        if (file.open(QIODevice::WriteOnly))
            file.close();
    }

    auto* checker = new SpellChecker(base, userList);
    if (!checker->isValid()) {
        // Every word would go through a codec that does not exist; better no
        // spell checking at all than a crash or garbage underlines.
        delete checker;
        return false;
    }
    g_instance = checker;
    return true;
}

SpellChecker* SpellChecker::instance()
{
    return g_instance;
}

void SpellChecker::destroy()
{
    delete g_instance;
    g_instance = nullptr;
}

SpellChecker::SpellChecker(const QString& dictionaryPath, const QString& userDictionaryPath)
    : m_userDictionaryPath(userDictionaryPath)
    , m_encoding(QString::fromLatin1(DefaultEncoding))
{
    const QString wordPath = dictionaryPath + QStringLiteral(".dic");
    const QString affixPath = dictionaryPath + QStringLiteral(".aff");

    if (!QFileInfo(wordPath).isFile()) {
        if (!RegularFile::isRegularOrAbsent(wordPath))
            SPELL_WARNING << "Dictionary file" << wordPath << "is not a regular file; spell checking is off";
        return;
    }
    m_encoding = readAffixEncoding(affixPath);
    m_codec = codecForEncoding(m_encoding);
    if (!m_codec) {
        SPELL_WARNING << "Dictionary encoding" << m_encoding << "is not supported; spell checking is off";
        return;
    }

    // Hunspell opens what it is given, and tries a ".hz" file beside a
    // missing one: an affix file that is not a regular file goes as no file.
    const bool affixUsable = QFileInfo(affixPath).isFile();
    if (!RegularFile::isRegularOrAbsent(affixPath))
        SPELL_WARNING << "Affix file" << affixPath << "is not a regular file; not read";
    m_engine = new Hunspell(affixUsable ? QFile::encodeName(affixPath).constData() : "",
                            QFile::encodeName(wordPath).constData(), nullptr);

    if (!m_userDictionaryPath.isEmpty())
        loadUserDictionary();
}

SpellChecker::~SpellChecker()
{
    delete m_engine;
}

bool SpellChecker::isValid() const
{
    return m_codec && m_engine;
}

QString SpellChecker::readAffixEncoding(const QString& affixPath)
{
    QFile file(affixPath);
    if (!RegularFile::isRegularOrAbsent(affixPath) || !file.open(QIODevice::ReadOnly))
        return QString::fromLatin1(DefaultEncoding);

    // The SET line itself is ASCII whatever the encoding, and Latin-1 maps every
    // byte, so the rest of the file cannot disturb the search. Blank lines and
    // comments before the SET line are common, so the whole file is searched.
    static const QRegularExpression setLine(QStringLiteral("^\\s*SET\\s+([A-Z0-9\\-]+)\\s*"),
                                            QRegularExpression::CaseInsensitiveOption);
    bool first = true;
    while (!file.atEnd()) {
        QByteArray bytes = file.readLine();
        if (first && bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        first = false;
        const QRegularExpressionMatch match = setLine.match(QString::fromLatin1(bytes));
        if (match.hasMatch())
            return match.captured(1);
    }
    return QString::fromLatin1(DefaultEncoding);
}

void SpellChecker::loadUserDictionary()
{
    // A named pipe in its place would block the start for good.
    QFile file(m_userDictionaryPath);
    if (!RegularFile::isRegularOrAbsent(m_userDictionaryPath) || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        SPELL_WARNING << "User dictionary in" << m_userDictionaryPath << "could not be opened";
        return;
    }
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    // An empty line in the middle of the list must not hide the words after it.
    QString line;
    while (stream.readLineInto(&line)) {
        const QString word = line.trimmed();
        if (!word.isEmpty())
            addWord(word);
    }
}

std::string SpellChecker::toEngine(const QString& word) const
{
    return m_codec->fromUnicode(word).toStdString();
}

bool SpellChecker::spell(const QString& word) const
{
    if (!m_engine || word.isEmpty())
        return true;
    return m_engine->spell(toEngine(word));
}

QStringList SpellChecker::suggest(const QString& word) const
{
    QStringList result;
    if (!m_engine || word.isEmpty())
        return result;
    const std::vector<std::string> suggestions = m_engine->suggest(toEngine(word));
    for (const std::string& suggestion : suggestions)
        result.append(m_codec->toUnicode(suggestion.data(), int(suggestion.size())));
    return result;
}

void SpellChecker::addWord(const QString& word)
{
    if (!m_engine || word.isEmpty())
        return;
    m_engine->add(toEngine(word));
}

bool SpellChecker::addToUserWordlist(const QString& word)
{
    const QString trimmed = word.trimmed();
    // One word a line: an empty word or one with a line break would corrupt the list.
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char('\n')) || trimmed.contains(QLatin1Char('\r')))
        return false;

    addWord(trimmed);
    if (m_userDictionaryPath.isEmpty())
        return true;

    // The list is rewritten whole through a temporary file, so a full disk or a
    // crash never leaves it truncated or with half a word.
    QByteArray contents;
    QFile current(m_userDictionaryPath);
    if (current.exists()) {
        // Whatever stands there that is not a file is not ours to replace.
        if (!RegularFile::isRegularOrAbsent(m_userDictionaryPath) || !current.open(QIODevice::ReadOnly)) {
            SPELL_WARNING << "User dictionary in" << m_userDictionaryPath
                          << "could not be opened for appending a new word";
            return false;
        }
        contents = current.readAll();
        current.close();
    }
    if (!contents.isEmpty() && !contents.endsWith('\n'))
        contents.append('\n');
    contents.append(trimmed.toUtf8());
    contents.append('\n');

    if (!AtomicFileWriter::write(m_userDictionaryPath, contents)) {
        SPELL_WARNING << "User dictionary in" << m_userDictionaryPath
                      << "could not be opened for appending a new word";
        return false;
    }
    return true;
}
