#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the warnings logged while it lives (and passes them on to the
// handler that was in place), for tests that count what the program logs.
class WarningLog
{
public:
    WarningLog() : m_previous(qInstallMessageHandler(&WarningLog::handle)) { s_current = this; }
    ~WarningLog()
    {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    WarningLog(const WarningLog&) = delete;
    WarningLog& operator=(const WarningLog&) = delete;

    QStringList messages() const { return m_messages; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (!s_current)
            return;
        if (type == QtWarningMsg)
            s_current->m_messages.append(message);
        if (s_current->m_previous)
            s_current->m_previous(type, context, message);
    }

    static inline WarningLog* s_current = nullptr;
    QStringList m_messages;
    QtMessageHandler m_previous = nullptr;
};
