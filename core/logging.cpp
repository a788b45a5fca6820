#include "core/logging.h"

// QtInfoMsg as the lowest enabled level keeps debug lines off by default.
Q_LOGGING_CATEGORY(lcApp, "quillrelay.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPen, "quillrelay.pen", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInject, "quillrelay.inject", QtInfoMsg)
Q_LOGGING_CATEGORY(lcLink, "quillrelay.link", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSearch, "quillrelay.search", QtInfoMsg)
Q_LOGGING_CATEGORY(lcUi, "quillrelay.ui", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "quillrelay.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcScreen, "quillrelay.screen", QtInfoMsg)
