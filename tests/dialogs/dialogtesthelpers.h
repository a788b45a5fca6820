#pragma once

#include "app/eventwait.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal window of class T from the event loop: `answer` runs with it as
// soon as it is the active modal widget (looked at again every 20 ms, for at most 5 s).
template <typename T>
void answerModal(std::function<void(T*)> answer, int delayMs = 0, int triesLeft = 250)
{
    QTimer::singleShot(delayMs, qApp, [answer, triesLeft] {
        auto* modal = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible()) {
            if (triesLeft > 0)
                answerModal<T>(answer, 20, triesLeft - 1);
            return;
        }
        answer(modal);
    });
}

// Records the text of the next message box and closes it with its default button.
struct MessageBoxAnswer {
    QString text;
    QString title;
    int count = 0;

    void arm()
    {
        answerModal<QMessageBox>([this](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            ++count;
            box->done(QMessageBox::Ok);
        });
    }
};

// Waits in the event loop (never in a busy loop) until `done` holds or `timeoutMs` passed.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    EventWait wait(timeoutMs, 20);
    return wait.waitUntil(done);
}
