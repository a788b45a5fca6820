#pragma once

#include "engine/pen/penpath.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>

// The pen path on a thread of its own, with its own event loop: a datagram is read and
// injected as soon as it arrives, whatever the GUI thread is busy with (a dialog repainting,
// a search). The receiver, the dispatch with its watchdog, the injectors and the devices are
// made, run and deleted on that thread; the controller reaches them only through call() and
// post(), which hand the work over in order. Without a thread of its own (the controller's
// tests) the work runs at once on the caller's thread.
class PenThread final {
public:
    PenThread(std::shared_ptr<InjectionBackend> backend, std::shared_ptr<MonotonicClock> clock,
              bool ownThread);
    ~PenThread();
    Q_DISABLE_COPY_MOVE(PenThread)

    // Runs `work` with the path on its thread and returns what it returns. The caller waits,
    // never for long: the pen thread never waits for another thread.
    template <typename Work> auto call(Work work)
    {
        using Result = std::invoke_result_t<Work&, PenPath&>;
        if constexpr (std::is_void_v<Result>) {
            run([&] { work(*m_path); }, Qt::BlockingQueuedConnection);
        } else {
            std::optional<Result> result;
            run([&] { result.emplace(work(*m_path)); }, Qt::BlockingQueuedConnection);
            return *result;
        }
    }
    // Hands `work` over without waiting for it.
    void post(std::function<void(PenPath&)> work);

private:
    void run(std::function<void()> work, Qt::ConnectionType type);

    QThread m_thread;
    QObject m_context; // lives on the pen thread: the work is queued to it
    std::unique_ptr<PenPath> m_path;
};
