#pragma once

// Helpers shared by the injection tests: a script runner for table-driven pen cases, and
// readable renderings of what reached the recording devices.

#include "support/recordinginjection.h"
#include "core/monotonicclock.h"

#include <QMap>
#include <QStringList>

#include <cstring>
#include <functional>

// Drives an injector (TouchInjection or SendMouseEvent) through a short script, so that
// test cases can be written as table rows: "down 1 500 300; move 1 510 305; up 1; wait 90;
// lost" (pen id, pixel; `wait` advances the manual clock, `lost` runs CheckLostUp). Other
// steps go to `other` (a test's own knobs, such as scripted device failures). Returns the
// result of the last down, move or up; true if there was none.
template <typename Injector>
bool runPenScript(Injector& injector, ManualClock& clock, const QString& script,
                  const std::function<void(const QStringList&)>& other = {})
{
    bool result = true;
    for (const QString& step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList f = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto n = [&f](int i) {
            return f.value(i).toInt();
        };
        const QString& op = f.first();
        if (op == QLatin1String("down"))
            result = injector.PenDown(n(1), n(2), n(3));
        else if (op == QLatin1String("move"))
            result = injector.PenMove(n(1), n(2), n(3));
        else if (op == QLatin1String("up"))
            result = injector.PenUp(n(1));
        else if (op == QLatin1String("wait"))
            clock.advance(n(1));
        else if (op == QLatin1String("lost"))
            injector.CheckLostUp();
        else if (other)
            other(f);
        else
            qFatal("unknown script step %s", qPrintable(step));
    }
    return result;
}

// One record as "id flags x,y", plus "area@cx,cy" when the contact area is not centred on
// the location. The record is also compared byte for byte with one built field by field
// (type, mask, 4-pixel area, orientation, pressure, zeros elsewhere), without the program's
// own fill function, so that a wrong byte anywhere shows as "(other fields differ)".
inline QString describe(const injection::PointerTouchInfo& r)
{
    static const QMap<quint32, QString> flagNames{{0x00020002, "hover"},
                                                  {0x00010006, "down"},
                                                  {0x00020006, "drag"},
                                                  {0x00040002, "lift"},
                                                  {0x00020000, "leave"}};
    const quint32 flags = r.pointerInfo.pointerFlags;
    const qint32 x = r.pointerInfo.ptPixelLocation.x, y = r.pointerInfo.ptPixelLocation.y;
    const qint32 cx = r.rcContact.left + 2, cy = r.rcContact.top + 2;
    QString text = QStringLiteral("%1 %2 %3,%4")
                       .arg(r.pointerInfo.pointerId)
                       .arg(flagNames.value(flags, QString::number(flags, 16)))
                       .arg(x)
                       .arg(y);
    if (cx != x || cy != y)
        text += QStringLiteral(" area@%1,%2").arg(cx).arg(cy);

    injection::PointerTouchInfo want;
    std::memset(&want, 0, sizeof want);
    want.pointerInfo.pointerType = 2;
    want.pointerInfo.pointerId = r.pointerInfo.pointerId;
    want.pointerInfo.pointerFlags = flags;
    want.pointerInfo.ptPixelLocation = r.pointerInfo.ptPixelLocation;
    want.touchMask = 7;
    want.rcContact = {cx - 2, cy - 2, cx + 2, cy + 2};
    want.orientation = 90;
    want.pressure = 32000;
    if (std::memcmp(&want, &r, sizeof want) != 0)
        text += QStringLiteral(" (other fields differ)");
    return text;
}

// One string per frame, its records joined by ", ".
inline QStringList describe(const QList<RecordingInjectionBackend::TouchFrame>& frames)
{
    QStringList out;
    for (const auto& frame : frames) {
        QStringList records;
        for (const injection::PointerTouchInfo& r : frame)
            records << describe(r);
        out << records.join(QStringLiteral(", "));
    }
    return out;
}

// "move dx,dy" (absolute move), "down", "up" (left button); other flags in hex, with their
// dx,dy. A record with a type other than mouse, or with data, time or extra info set, or
// a button record with a position, gets " (other fields)".
inline QStringList describe(const QList<injection::InputRecord>& inputs)
{
    static const QMap<quint32, QString> kinds{{0x8001, "move"}, {0x0002, "down"}, {0x0004, "up"}};
    QStringList out;
    for (const injection::InputRecord& r : inputs) {
        const bool move = r.mi.dwFlags == 0x8001, known = kinds.contains(r.mi.dwFlags);
        QString text = kinds.value(r.mi.dwFlags, QString::number(r.mi.dwFlags, 16));
        if (move || !known)
            text += QStringLiteral(" %1,%2").arg(r.mi.dx).arg(r.mi.dy);
        if (r.type != 0 || r.mi.mouseData != 0 || r.mi.time != 0 || r.mi.dwExtraInfo != 0 ||
            (known && !move && (r.mi.dx != 0 || r.mi.dy != 0)))
            text += QStringLiteral(" (other fields)");
        out << text;
    }
    return out;
}
