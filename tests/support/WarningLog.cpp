#include "WarningLog.h"

namespace {
WarningLog* g_current = nullptr;
}

WarningLog::WarningLog()
    : m_previous(qInstallMessageHandler(&WarningLog::handle))
{
    g_current = this;
}

WarningLog::~WarningLog()
{
    qInstallMessageHandler(m_previous);
    g_current = nullptr;
}

void WarningLog::handle(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!g_current)
        return;
    if (type == QtWarningMsg)
        g_current->m_messages.append(message);
    if (g_current->m_previous)
        g_current->m_previous(type, context, message);
}
