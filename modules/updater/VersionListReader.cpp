#include "modules/updater/VersionListReader.h"

#include "engine/MessageLog.h"

#include <QXmlStreamReader>

VersionListReader::VersionListReader(const QString& product, const QString& linkElement)
    : m_product(product)
    , m_linkElement(linkElement)
{
}

VersionListReader::Result VersionListReader::read(const QByteArray& data)
{
    m_versionText.clear();
    m_downloadLink.clear();
    QXmlStreamReader xml(data);
    xml.setNamespaceProcessing(false); // a prefix is part of the name, declared or not

    // Levels: 1 the document element, 2 a product entry, 3 its fields.
    int depth = 0;
    QString rootName;
    bool inProduct = false;
    QString* field = nullptr; // the value the text read now belongs to
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            // A list needs none, and its entities could carry what the depth
            // count below never sees.
            VLOG << "Error: version list with a document type declaration";
            return Malformed;
        case QXmlStreamReader::StartElement: {
            if (++depth > DeepestList) {
                VLOG << "Error: version list nested deeper than" << DeepestList << "levels";
                return Malformed;
            }
            const QString name = xml.qualifiedName().toString();
            if (depth == 1) {
                rootName = name;
            } else if (depth == 2) {
                inProduct = name == m_product;
            } else if (depth == 3 && inProduct) {
                field = name == QLatin1String("lastVersion") ? &m_versionText
                    : name == m_linkElement                  ? &m_downloadLink
                                                             : nullptr;
                text.clear();
            }
            break;
        }
        case QXmlStreamReader::Characters:
            // The whole text under the field, nested elements' too, less the
            // runs of bare white space between elements.
            if (field && (xml.isCDATA() || !xml.isWhitespace()))
                text += xml.text();
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 3 && field) {
                *field = text;
                field = nullptr;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        VLOG << "Error: Parse error at line " << xml.lineNumber() << ", "
             << "column " << xml.columnNumber() << ": " << xml.errorString() << "Loading default config";
        return Malformed;
    }
    if (rootName != QLatin1String("vel-versions")) {
        VLOG << "Error: Not version info file";
        return NotVersionList;
    }
    return Read;
}
