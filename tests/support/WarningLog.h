#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the warnings logged while it lives (and passes them on to the
// handler that was in place), for tests that count what the program logs.
class WarningLog
{
public:
    WarningLog();
    ~WarningLog();
    WarningLog(const WarningLog&) = delete;
    WarningLog& operator=(const WarningLog&) = delete;

    QStringList messages() const { return m_messages; }
    void clear() { m_messages.clear(); }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QStringList m_messages;
    QtMessageHandler m_previous = nullptr;
};
