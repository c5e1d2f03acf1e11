#pragma once

#include <QString>

struct DocumentFields;

// Writes the document form into SpoDocuments: a new row, or an update of the
// row already saved. A document started from a template also receives the
// template's supplement summary and every supplement row. The whole save runs
// in one transaction: when any statement fails nothing stays written and the
// saver keeps the row id it started with.
class DocumentSaver
{
public:
    // spoId below 1: a new row. templateId above 0: the template a new
    // document was started from (used only when a new row is made).
    DocumentSaver(int spoId, int templateId, bool templateMode);

    bool save(const DocumentFields& fields);

    // The saved row after a successful save; the id given before otherwise.
    int spoId() const { return m_spoId; }
    // Why the last save failed, for the user.
    QString errorText() const { return m_error; }

private:
    bool insertDocument(const DocumentFields& fields);
    bool updateDocument(const DocumentFields& fields);
    bool copyTemplate();
    bool fail(const QString& error);

    int m_spoId;
    int m_templateId;
    bool m_templateMode;
    QString m_error;
};
