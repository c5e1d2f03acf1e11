#pragma once

#include <QString>
#include <QStringList>

#include <string>

class Hunspell;
class QTextCodec;

// The process-wide Russian spell checker: one Hunspell engine over the
// dictionary in the data directory, plus the user's own word list, which grows
// when the user adds words. Made once at start-up by init(); it exists only
// when the dictionary is present and its encoding is one we can convert to.
class SpellChecker
{
public:
    // Creates the instance unless it exists. True when an instance exists
    // afterwards; false when the word file is missing or the dictionary's
    // encoding has no text codec (spell checking stays off then).
    static bool init();
    // The instance, or null when there is no spell checking.
    static SpellChecker* instance();
    // Deletes the instance, so that init() starts over (a restart in tests).
    static void destroy();

    // dictionaryPath: the common base of the .aff and .dic files, without
    // extension. userDictionaryPath: the user's word list; empty for none.
    SpellChecker(const QString& dictionaryPath, const QString& userDictionaryPath);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    // False when the affix file names an encoding without a text codec; such
    // a checker accepts every word and learns none.
    bool isValid() const;
    // Name of the dictionary's encoding as the affix file gives it.
    QString encoding() const { return m_encoding; }
    QString userDictionaryPath() const { return m_userDictionaryPath; }

    bool spell(const QString& word) const;
    QStringList suggest(const QString& word) const;
    // Known to the running engine only; nothing is written.
    void addWord(const QString& word);
    // Adds the word to the engine and appends it to the user dictionary. False
    // when the word is empty (or spans lines) or the file could not be written;
    // a word that reached the engine stays accepted for this run all the same.
    bool addToUserWordlist(const QString& word);

    // The encoding named by the first SET line of an affix file, or the
    // default "ISO8859-15" when there is none or the file cannot be read.
    static QString readAffixEncoding(const QString& affixPath);

private:
    void loadUserDictionary();
    std::string toEngine(const QString& word) const;

    Hunspell* m_engine = nullptr;
    QString m_userDictionaryPath;
    QString m_encoding;
    QTextCodec* m_codec = nullptr;
};
