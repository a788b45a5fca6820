#include "engine/pen/penthread.h"

PenThread::PenThread(std::shared_ptr<InjectionBackend> backend,
                     std::shared_ptr<MonotonicClock> clock, bool ownThread)
{
    if (ownThread) {
        m_thread.setObjectName(QStringLiteral("pen"));
        m_context.moveToThread(&m_thread);
        m_thread.start(QThread::HighestPriority);
    }
    run([&] { m_path = std::make_unique<PenPath>(std::move(backend), std::move(clock)); },
        Qt::BlockingQueuedConnection);
}

PenThread::~PenThread()
{
    run([this] { m_path.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void PenThread::post(std::function<void(PenPath&)> work)
{
    run([this, work = std::move(work)] { work(*m_path); }, Qt::QueuedConnection);
}

void PenThread::run(std::function<void()> work, Qt::ConnectionType type)
{
    if (m_thread.isRunning())
        QMetaObject::invokeMethod(&m_context, std::move(work), type);
    else
        work();
}
