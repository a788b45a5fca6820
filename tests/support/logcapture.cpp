#include "support/logcapture.h"

#include <QLoggingCategory>
#include <QMutexLocker>

namespace {
LogCapture* g_active = nullptr;
}

LogCapture::LogCapture()
{
    // The lines are checked whether or not the environment switched diagnostics on.
    QLoggingCategory::setFilterRules(QStringLiteral("quillrelay.*.debug=true"));
    g_active = this;
    m_previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    g_active = nullptr;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (LogCapture* self = g_active) {
        {
            QMutexLocker lock(&self->m_mutex);
            self->m_entries.append({QString::fromLatin1(context.category), text});
        }
        if (self->m_previous)
            self->m_previous(type, context, text);
    }
}

QStringList LogCapture::lines() const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const Entry& e : m_entries)
        out << e.text;
    return out;
}

QStringList LogCapture::lines(const char* category) const
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    for (const Entry& e : m_entries) {
        if (e.category == QLatin1String(category))
            out << e.text;
    }
    return out;
}

void LogCapture::clear()
{
    QMutexLocker lock(&m_mutex);
    m_entries.clear();
}
