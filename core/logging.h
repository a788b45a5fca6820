#pragma once

#include <QLoggingCategory>

// One category per area. Debug output is off unless switched on, for example with
// QT_LOGGING_RULES="quillrelay.*.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcApp)      // quillrelay.app: start-up, single instance, controller
Q_DECLARE_LOGGING_CATEGORY(lcPen)      // quillrelay.pen: pen-status datagrams and dispatch
Q_DECLARE_LOGGING_CATEGORY(lcInject)   // quillrelay.inject: touch and mouse injection
Q_DECLARE_LOGGING_CATEGORY(lcLink)     // quillrelay.link: projector command link
Q_DECLARE_LOGGING_CATEGORY(lcSearch)   // quillrelay.search: projector search
Q_DECLARE_LOGGING_CATEGORY(lcUi)       // quillrelay.ui: dialogs and fonts
Q_DECLARE_LOGGING_CATEGORY(lcSettings) // quillrelay.settings: settings store
Q_DECLARE_LOGGING_CATEGORY(lcScreen)   // quillrelay.screen: the target screen and binding devices to it
