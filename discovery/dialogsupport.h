#pragma once

#include "app/logging.h"

#include <QException>
#include <Qt>

#include <utility>

// Runs `body` so that no exception leaves a dialog's constructor, slot or event handler:
// the toolkit cannot carry an exception through its event loop. A QException is written
// to the debug channel with its text; anything else is swallowed. Returns whether `body`
// ran to its end.
// The frame of every dialog: title bar, system menu and close button, no context help
// (0x0A003003).
inline constexpr Qt::WindowFlags DialogWindowFlags =
    Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::CustomizeWindowHint |
    Qt::WindowCloseButtonHint;

template <typename Body> bool runGuarded(Body&& body)
{
    try {
        std::forward<Body>(body)();
        return true;
    } catch (const QException& e) {
        qCDebug(lcUi, "exception occured [%s]", e.what());
    } catch (...) {
    }
    return false;
}
