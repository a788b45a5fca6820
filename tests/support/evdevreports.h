#pragma once

#include <QList>
#include <QMap>
#include <QStringList>

#include <linux/input-event-codes.h>

// Renders kernel input events (anything with type, code and value) one report per string,
// "slot=1 id=-1 touch=0 syn", with short names for the codes the devices use: expected
// reports then read like the protocol, and a failing comparison shows the report that differs.
template <typename Report> QStringList evdevReports(const QList<Report>& reports)
{
    static const QMap<QPair<int, int>, QString> names{{{EV_ABS, ABS_X}, "x"},
                                                      {{EV_ABS, ABS_Y}, "y"},
                                                      {{EV_ABS, ABS_MT_SLOT}, "slot"},
                                                      {{EV_ABS, ABS_MT_TRACKING_ID}, "id"},
                                                      {{EV_ABS, ABS_MT_POSITION_X}, "mtx"},
                                                      {{EV_ABS, ABS_MT_POSITION_Y}, "mty"},
                                                      {{EV_KEY, BTN_TOUCH}, "touch"},
                                                      {{EV_KEY, BTN_LEFT}, "left"}};
    QStringList out;
    for (const Report& report : reports) {
        QStringList events;
        for (const auto& e : report) {
            if (e.type == EV_SYN && e.code == SYN_REPORT && e.value == 0)
                events << QStringLiteral("syn");
            else
                events << names.value({int(e.type), int(e.code)},
                                      QStringLiteral("%1/%2").arg(e.type).arg(e.code)) +
                              QLatin1Char('=') + QString::number(e.value);
        }
        out << events.join(QLatin1Char(' '));
    }
    return out;
}
