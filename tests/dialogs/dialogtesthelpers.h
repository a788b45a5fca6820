#pragma once

#include "core/eventwait.h"
#include "ui/pjsearchdlg.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

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

// Waits in the event loop (never in a busy loop) until `done` holds or `timeoutMs` passed.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000)
{
    EventWait wait(timeoutMs, 20);
    return wait.waitUntil(done);
}

// Records the text of the next message box and closes it with its default button.
struct MessageBoxAnswer {
    QString text;
    int count = 0;

    void arm()
    {
        answerModal<QMessageBox>([this](QMessageBox* box) {
            text = box->text();
            ++count;
            box->done(QMessageBox::Ok);
        });
    }
};

inline bool showActive(QWidget* window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

// A masked address field's text without its layout blanks: "10.77.0.5".
inline QString plain(QString text)
{
    return text.remove(QLatin1Char(' '));
}

inline void clickRow(QTableWidget* table, int row)
{
    const QRect cell = table->visualItemRect(table->item(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
}

// Answers the next projector list: waits for the search it starts by itself to list one
// projector, selects it and presses Connect; closes the list when none answers. `first`
// runs as soon as the list is up.
inline void connectToFirstListedProjector(std::function<void(PJSearchDlg*)> first = {})
{
    answerModal<PJSearchDlg>([first](PJSearchDlg* list) {
        if (first)
            first(list);
        auto* table = list->findChild<QTableWidget*>("tableWidgetPJList");
        if (!waitFor([table] { return table->rowCount() == 1; }))
            return list->reject();
        clickRow(table, 0);
        list->findChild<QPushButton*>("pushButtonConnect")->click();
    });
}
