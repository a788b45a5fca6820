// projector-sim: stands in for one or more network projectors, for tests, demos and work by
// hand. Run it inside a network namespace (see --help); it refuses to send anywhere but
// loopback and 10.77.0.0/16.

#include "commandport.h"
#include "pensender.h"
#include "searchresponder.h"
#include "simlog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

namespace {

const char* const kDescription =
    R"(Projector simulator: answers the projector search (UDP), accepts pen-control
commands on the command port (TCP) and, after a pen-on command, sends pen-status
datagrams to the announced address and port until a pen-off command.

Run it in a network namespace, never on the real network. By hand, for example:
  tools/netns-pair.sh --name demo --keep
  ip netns exec qrt-demo-<pid>-p build/bin/projector-sim --projector 10.77.0.2,name=Demo
It only ever sends to loopback and 10.77.0.0/16.

--projector DEF (repeatable; one simulated projector each):
  ADDRESS[,name=TEXT][,status=N][,hostip=TEXT][,delay=MS][,appflag=N][,unicast-cmd=N][,silent]
  ADDRESS must be on an interface of this namespace. name is sent in Shift-JIS;
  hostip is the HostIp text (default: ADDRESS; "hostip=" sends an empty one); delay is
  the pause before each reply; unicast-cmd the CommandID of a reply to an addressed
  search (default 3); silent hears but never answers. Numbers may be 0x-hex.
  Without --projector there is no search responder.

Command modes (--command-mode M1,M2,...: one per connection, the last one repeats):
  ok, reject (result byte of --result), error, silent, drop, split, garbage, short,
  noread (never reads the connection), refuse (alone: the port is not opened, so
  connecting is refused; in a list: the connection is reset at once).
  ok: 23 CE 00 00 02 00 00 F3; reject: 23 CE 00 00 02 00 <result> <sum>;
  error: A3 CE 00 00 02 00 00 73; garbage: 22 CE 00 00 00 F0, then the ok reply;
  short: 23 CE 00 00 00 F1. A frame that is not a well-formed pen-control command gets
  an error reply (byte 0 | 0xA0) in every answering mode.

Pen scripts (--pen-script): line, circle, two-pens, lost-up, out-of-range, garbage,
  quill-relay (the words QUILL RELAY in strokes, then a circle drawn by two pens in turn),
  long-circle (one pen, a stroke of 1000 moves), ten-pens (ten pens circling at once, ten
  records in each datagram, strokes of 1000 moves), none.

Output, one line per event (bytes as upper-case hex pairs):
  ready
  search-listen ADDR:PORT name=NAME
  search-rx LOCAL FROM:PORT cmd=N seq=N HEX     (LOCAL: the projector or 0.0.0.0/broadcast)
  search-tx FROM TO:PORT cmd=N HEX   /  notify-tx FROM TO:PORT cmd=8 HEX
  search-accept LOCAL FROM:PORT   search-silent ADDR   search-ignored FROM:PORT WHY
  cmd-listen ADDR:PORT modes=...   cmd-refuse ADDR:PORT not listening
  cmd-accept PEER mode=M   cmd-rx PEER HEX   cmd-tx PEER HEX
  cmd-hangup PEER   cmd-drop PEER   cmd-silent PEER   cmd-noread PEER   cmd-reset PEER   cmd-close PEER
  pen-start TO:PORT script=S   pen-tx TO:PORT HEX   pen-done TO:PORT   pen-stop TO:PORT
  refused WHAT TO:PORT ...       (a destination outside the allowed ranges))";

bool parseNumber(const QString& text, quint32* value)
{
    bool ok = false;
    const qulonglong v = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                             ? text.mid(2).toULongLong(&ok, 16)
                             : text.toULongLong(&ok, 10);
    if (!ok || v > 0xFFFFFFFFull)
        return false;
    *value = quint32(v);
    return true;
}

bool parseProjector(const QString& definition, SimProjector* out, QString* error)
{
    const QStringList parts = definition.split(QLatin1Char(','));
    SimProjector p;
    p.address = QHostAddress(parts.value(0).trimmed());
    if (p.address.protocol() != QAbstractSocket::IPv4Protocol) {
        *error = QStringLiteral("not an IPv4 address: %1").arg(parts.value(0));
        return false;
    }
    if (!SimLog::isAllowed(p.address)) {
        *error =
            QStringLiteral("%1 is outside loopback and 10.77.0.0/16").arg(p.address.toString());
        return false;
    }
    p.name = QStringLiteral("Projector %1").arg(p.address.toString());
    p.hostIp = p.address.toString().toLatin1();
    for (int i = 1; i < parts.size(); ++i) {
        const QString key = parts[i].section(QLatin1Char('='), 0, 0).trimmed();
        const QString value = parts[i].section(QLatin1Char('='), 1);
        quint32 n = 0;
        const bool numeric = parseNumber(value.trimmed(), &n);
        if (key == QLatin1String("name")) {
            p.name = value;
        } else if (key == QLatin1String("hostip")) {
            p.hostIp = value.toLatin1();
        } else if (key == QLatin1String("silent") && value.isEmpty()) {
            p.silent = true;
        } else if (key == QLatin1String("status") && numeric) {
            p.status = n;
        } else if (key == QLatin1String("delay") && numeric) {
            p.delayMs = int(std::min<quint32>(n, 600000));
        } else if (key == QLatin1String("appflag") && numeric) {
            p.appFlag = n;
        } else if (key == QLatin1String("unicast-cmd") && numeric) {
            p.unicastCommandId = n;
        } else {
            *error = QStringLiteral("bad projector option: %1").arg(parts[i]);
            return false;
        }
    }
    *out = p;
    return true;
}

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "projector-sim: %s\n", qPrintable(message));
    std::exit(2);
}

int intOption(const QCommandLineParser& parser, const QString& name, int min, int max)
{
    bool ok = false;
    const int v = parser.value(name).toInt(&ok);
    if (!ok || v < min || v > max)
        fail(QStringLiteral("--%1 needs a number from %2 to %3").arg(name).arg(min).arg(max));
    return v;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("projector-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.addHelpOption();
    parser.addOptions({
        {"projector", "A simulated projector (repeatable), see above.", "def"},
        {"search-port", "UDP port of the search (default 5320).", "port", "5320"},
        {"reply-port", "Port replies go to; 0: the request's source port (default 5320).", "port",
         "5320"},
        {"notify", "Each projector sends a notification (CommandID 8) to this address.", "address"},
        {"notify-interval", "Repeat the notification every this many ms (0: once).", "ms", "0"},
        {"command-address", "Address of the command port (default 0.0.0.0).", "address", "0.0.0.0"},
        {"command-port", "TCP port of the pen-control commands (default 7142).", "port", "7142"},
        {"command-mode", "How to answer, per connection, see above (default ok).", "modes", "ok"},
        {"reply-delay", "Pause before each command reply (ms).", "ms", "0"},
        {"result", "Result byte of the 'reject' mode (default 2).", "n", "2"},
        {"close-after-reply", "Close the command connection right after each reply."},
        {"split-at", "The 'split' mode's first write has this many bytes (default 3).", "n", "3"},
        {"split-gap", "Pause between the two writes of 'split' and 'garbage' (ms, default 200).",
         "ms", "200"},
        {"pen-script", "Pen states sent after pen-on (default line).", "name", "line"},
        {"pen-rate", "Pen-status datagrams per second (default 100).", "hz", "100"},
        {"pen-delay", "Pause between the pen-on reply and the first datagram (ms, default 200).",
         "ms", "200"},
        {"pen-loop", "Repeat the pen script until pen-off."},
        {"pen-seq", "Put a running number into bytes 2 to 4 of each record."},
        {"pen-limit", "Stop after this many datagrams, loops included (0: no limit).", "n", "0"},
        {"ready-file", "Write \"ready\" into this file (or FIFO) once listening.", "path"},
    });
    parser.process(app);

    QList<SimProjector> projectors;
    for (const QString& definition : parser.values("projector")) {
        SimProjector p;
        QString error;
        if (!parseProjector(definition, &p, &error))
            fail(error);
        projectors << p;
    }

    QString error;
    SearchResponder search;
    if (!projectors.isEmpty() &&
        !search.start(projectors, quint16(intOption(parser, "search-port", 1, 65535)),
                      quint16(intOption(parser, "reply-port", 0, 65535)), &error))
        fail(error);

    CommandPort::Options commandOptions;
    commandOptions.address = QHostAddress(parser.value("command-address"));
    if (commandOptions.address.protocol() != QAbstractSocket::IPv4Protocol)
        fail(QStringLiteral("--command-address needs an IPv4 address"));
    commandOptions.port = quint16(intOption(parser, "command-port", 0, 65535));
    commandOptions.modes = parser.value("command-mode").split(QLatin1Char(','));
    for (const QString& mode : commandOptions.modes) {
        if (!CommandPort::isKnownMode(mode))
            fail(QStringLiteral("unknown command mode: %1").arg(mode));
    }
    commandOptions.replyDelayMs = intOption(parser, "reply-delay", 0, 600000);
    commandOptions.rejectResult = intOption(parser, "result", 0, 255);
    commandOptions.splitAt = intOption(parser, "split-at", 1, 4096);
    commandOptions.splitGapMs = intOption(parser, "split-gap", 0, 600000);
    commandOptions.closeAfterReply = parser.isSet("close-after-reply");
    CommandPort commands;
    if (!commands.start(commandOptions, &error))
        fail(error);

    PenSender::Options penOptions;
    penOptions.script = parser.value("pen-script");
    if (!PenSender::scripts().contains(penOptions.script))
        fail(QStringLiteral("unknown pen script: %1").arg(penOptions.script));
    penOptions.rateHz = intOption(parser, "pen-rate", 1, 1000);
    penOptions.startDelayMs = intOption(parser, "pen-delay", 0, 600000);
    penOptions.loop = parser.isSet("pen-loop");
    penOptions.sequence = parser.isSet("pen-seq");
    penOptions.limit = intOption(parser, "pen-limit", 0, 100000000);
    PenSender pens;
    pens.setOptions(penOptions);
    QObject::connect(&commands, &CommandPort::penOn, &pens, &PenSender::start);
    QObject::connect(&commands, &CommandPort::penOff, &pens, &PenSender::stop);

    QTimer notifyTimer;
    if (parser.isSet("notify")) {
        const QHostAddress to(parser.value("notify"));
        if (to.protocol() != QAbstractSocket::IPv4Protocol || !SimLog::isAllowed(to))
            fail(QStringLiteral("--notify needs an IPv4 address in loopback or 10.77.0.0/16"));
        if (projectors.isEmpty())
            fail(QStringLiteral("--notify needs at least one --projector"));
        const int interval = intOption(parser, "notify-interval", 0, 3600000);
        QObject::connect(&notifyTimer, &QTimer::timeout, &search,
                         [&search, to] { search.notify(to); });
        QTimer::singleShot(0, &search, [&search, to] { search.notify(to); });
        if (interval > 0)
            notifyTimer.start(interval);
    }

    SimLog::line(QStringLiteral("ready"));
    if (parser.isSet("ready-file")) {
        QFile ready(parser.value("ready-file"));
        if (!ready.open(QIODevice::WriteOnly) || ready.write("ready\n") < 0)
            fail(QStringLiteral("cannot write %1").arg(ready.fileName()));
    }
    return app.exec();
}
