#include "commandport.h"

#include "simlog.h"

#include <QTimer>

namespace {
char checksum(const QByteArray& bytes)
{
    unsigned sum = 0;
    for (const char b : bytes)
        sum += quint8(b);
    return char(sum & 0xFF);
}

QByteArray withChecksum(QByteArray bytes)
{
    bytes.append(checksum(bytes));
    return bytes;
}

// A reply laid out like a command frame with two data bytes; the second is the result.
QByteArray reply(quint8 byte0, quint8 byte1, quint8 result)
{
    QByteArray bytes(6, '\0');
    bytes[0] = char(byte0);
    bytes[1] = char(byte1);
    bytes[4] = 0x02;
    bytes.append(char(result));
    return withChecksum(bytes);
}

QString peerOf(const QTcpSocket* socket)
{
    return SimLog::endpoint(QHostAddress(socket->peerAddress().toIPv4Address()),
                            socket->peerPort());
}
} // namespace

CommandPort::CommandPort(QObject* parent) : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &CommandPort::accept);
}

bool CommandPort::isKnownMode(const QString& mode)
{
    static const QStringList known{"ok",    "reject",  "error", "silent", "drop",
                                   "split", "garbage", "short", "noread", "refuse"};
    return known.contains(mode);
}

bool CommandPort::start(const Options& options, QString* error)
{
    m_options = options;
    if (m_options.modes.isEmpty())
        m_options.modes << QStringLiteral("ok");
    if (m_options.modes == QStringList{QStringLiteral("refuse")}) {
        SimLog::line(QStringLiteral("cmd-refuse %1 not listening")
                         .arg(SimLog::endpoint(options.address, options.port)));
        return true;
    }
    if (!m_server.listen(options.address, options.port)) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(SimLog::endpoint(options.address, options.port), m_server.errorString());
        return false;
    }
    SimLog::line(QStringLiteral("cmd-listen %1 modes=%2")
                     .arg(SimLog::endpoint(options.address, m_server.serverPort()),
                          m_options.modes.join(QLatin1Char(','))));
    return true;
}

void CommandPort::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QString mode =
            m_options.modes.value(std::min<qsizetype>(m_connections, m_options.modes.size() - 1));
        ++m_connections;
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QString peer = peerOf(socket);
        SimLog::line(QStringLiteral("cmd-accept %1 mode=%2").arg(peer, mode));
        if (mode == QLatin1String("refuse")) {
            // Too late to refuse: the nearest thing is a reset.
            SimLog::line(QStringLiteral("cmd-reset %1").arg(peer));
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (mode == QLatin1String("noread")) {
            // Never reads: the computer's writes pile up until its buffers are full.
            SimLog::line(QStringLiteral("cmd-noread %1").arg(peer));
            socket->setReadBufferSize(1);
        } else {
            connect(socket, &QTcpSocket::readyRead, this,
                    [this, socket, mode] { readFrom(socket, mode); });
        }
        connect(socket, &QTcpSocket::disconnected, this, [socket, peer] {
            SimLog::line(QStringLiteral("cmd-close %1").arg(peer));
            socket->deleteLater();
        });
    }
}

void CommandPort::readFrom(QTcpSocket* socket, const QString& mode)
{
    // Frames may arrive in pieces or several at once: gather until a whole one is there.
    QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
    while (buffer.size() >= 5) {
        const int length = ((quint8(buffer[3]) & 0x0F) << 8) | quint8(buffer[4]);
        const int size = 5 + length + 1;
        if (buffer.size() < size)
            break;
        const QByteArray frame = buffer.left(size);
        buffer.remove(0, size);
        SimLog::line(QStringLiteral("cmd-rx %1 %2").arg(peerOf(socket), SimLog::hex(frame)));
        answer(socket, mode, frame);
    }
    socket->setProperty("pending", buffer);
}

void CommandPort::answer(QTcpSocket* socket, const QString& mode, const QByteArray& frame)
{
    const QString peer = peerOf(socket);
    const QByteArray body = frame.left(frame.size() - 1);
    const bool validSum = checksum(body) == frame.back();
    const quint8 byte0 = quint8(frame[0]);
    const quint8 byte1 = quint8(frame[1]);
    const QByteArray data = frame.mid(5, frame.size() - 6);
    const bool penControl = validSum && byte0 == 0x03 && byte1 == 0xCE && !data.isEmpty();
    const bool isOn = penControl && data[0] == 0 && data.size() == 7;
    const bool isOff = penControl && data[0] == 1 && data.size() == 1;

    if (mode == QLatin1String("drop")) {
        SimLog::line(QStringLiteral("cmd-drop %1").arg(peer));
        socket->disconnectFromHost();
        return;
    }
    if (mode == QLatin1String("silent")) {
        SimLog::line(QStringLiteral("cmd-silent %1").arg(peer));
        return;
    }

    QByteArray first;  // written at once (after the reply delay)
    QByteArray second; // written --split-gap ms later
    bool success = false;
    if (!isOn && !isOff) {
        // Unknown command, bad checksum, or a pen-control command with wrong data.
        first = reply(quint8(byte0 | 0xA0), byte1, 0);
    } else if (mode == QLatin1String("error")) {
        first = reply(0xA3, 0xCE, 0);
    } else if (mode == QLatin1String("reject")) {
        first = reply(0x23, 0xCE, quint8(m_options.rejectResult));
    } else if (mode == QLatin1String("short")) {
        first = withChecksum(QByteArray::fromHex("23CE000000"));
        success = true;
    } else if (mode == QLatin1String("split")) {
        const QByteArray whole = reply(0x23, 0xCE, 0);
        const int at = std::clamp(m_options.splitAt, 1, int(whole.size()) - 1);
        first = whole.left(at);
        second = whole.mid(at);
        success = true;
    } else if (mode == QLatin1String("garbage")) {
        first = withChecksum(QByteArray::fromHex("22CE000000"));
        second = reply(0x23, 0xCE, 0);
        success = true;
    } else {
        first = reply(0x23, 0xCE, 0);
        success = true;
    }

    QPointer<QTcpSocket> guard(socket);
    auto finish = [this, isOn, success, data] {
        if (!success)
            return;
        if (isOn) {
            const QHostAddress address(QStringLiteral("%1.%2.%3.%4")
                                           .arg(quint8(data[4]))
                                           .arg(quint8(data[3]))
                                           .arg(quint8(data[2]))
                                           .arg(quint8(data[1])));
            emit penOn(address, quint16(quint8(data[5]) | (quint8(data[6]) << 8)));
        } else {
            emit penOff();
        }
    };
    auto writeSecond = [this, guard, second, finish] {
        if (guard && !second.isEmpty())
            write(guard, second);
        if (guard && m_options.closeAfterReply) {
            SimLog::line(QStringLiteral("cmd-hangup %1").arg(peerOf(guard)));
            guard->disconnectFromHost();
        }
        finish();
    };
    auto writeFirst = [this, guard, first, second, writeSecond] {
        if (!guard)
            return;
        write(guard, first);
        if (second.isEmpty())
            writeSecond();
        else
            QTimer::singleShot(m_options.splitGapMs, this, writeSecond);
    };
    if (m_options.replyDelayMs > 0)
        QTimer::singleShot(m_options.replyDelayMs, this, writeFirst);
    else
        writeFirst();
}

void CommandPort::write(QTcpSocket* socket, const QByteArray& bytes)
{
    socket->write(bytes);
    socket->flush();
    SimLog::line(QStringLiteral("cmd-tx %1 %2").arg(peerOf(socket), SimLog::hex(bytes)));
}
