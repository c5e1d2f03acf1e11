#pragma once

#include <QByteArray>
#include <QString>

// Reads the version list in one pass of a stream reader, which keeps its own
// stack on the heap: a list nested however deep cannot exhaust the program's
// stack, as a recursive tree builder would. Only what the update check needs
// is kept: the product's last version and its download link.
class VersionListReader
{
public:
    enum Result {
        Read,           // a well-formed version list
        Malformed,      // not well-formed XML, nested too deep, or with a document type declaration
        NotVersionList, // well-formed, under some other document element
    };

    // A real list is three levels deep.
    static constexpr int DeepestList = 32;

    VersionListReader(const QString& product, const QString& linkElement);

    Result read(const QByteArray& data);

    // The text of the last "lastVersion" and of the last link element under
    // the last entry of the product, as the document gives them.
    QString versionText() const { return m_versionText; }
    QString downloadLink() const { return m_downloadLink; }

private:
    QString m_product;
    QString m_linkElement;
    QString m_versionText;
    QString m_downloadLink;
};
