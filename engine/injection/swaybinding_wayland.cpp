#include "engine/injection/screenbindings_wayland.h"

#include "core/logging.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>

#include <cstring>

namespace {
// i3's IPC, which sway speaks: magic, payload length and message type, in the host's order.
constexpr char Magic[] = {'i', '3', '-', 'i', 'p', 'c'};
constexpr int HeaderSize = sizeof(Magic) + 2 * sizeof(quint32);
constexpr quint32 RunCommand = 0;
} // namespace

SwayScreenBinding::SwayScreenBinding(QString socketPath) : m_socketPath(std::move(socketPath)) {}

SwayScreenBinding::~SwayScreenBinding() = default;

QByteArray SwayScreenBinding::identifier(const Device& device)
{
    QByteArray name = device.name.trimmed();
    for (char& c : name) {
        if (c == ' ' || c < 0x20 || c == 0x7f)
            c = '_';
    }
    return QByteArray::number(device.vendor) + ':' + QByteArray::number(device.product) + ':' + name;
}

QByteArray SwayScreenBinding::mapMessage(const Device& device, const QString& output)
{
    // Both quoted: sway splits a command at blanks outside quotes.
    const QByteArray payload = "input \"" + identifier(device) + "\" map_to_output \"" + output.toUtf8() + '"';
    const quint32 header[2] = {quint32(payload.size()), RunCommand};
    QByteArray message(Magic, sizeof(Magic));
    message.append(reinterpret_cast<const char*>(header), sizeof(header));
    return message + payload;
}

void SwayScreenBinding::bind(const Device& device, const ScreenTarget& target)
{
    if (m_socket) { // the answer to an earlier target no longer matters
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    m_reply.clear();
    if (target.name.isEmpty()) {
        qCDebug(lcScreen, "the device stays over the whole desktop: the screen has no name");
        emit areaChanged(DeviceArea{target.desktop});
        return;
    }
    m_socket = new QLocalSocket(this);
    const QByteArray message = mapMessage(device, target.name);
    connect(m_socket, &QLocalSocket::connected, this, [this, message] { m_socket->write(message); });
    connect(m_socket, &QLocalSocket::readyRead, this, [this, target] {
        m_reply += m_socket->readAll();
        replyRead(target);
    });
    connect(m_socket, &QLocalSocket::errorOccurred, this, [this, target] {
        qCDebug(lcScreen, "the device stays over the whole desktop: sway's socket: %s",
                qPrintable(m_socket->errorString()));
        m_socket->disconnect(this);
        m_socket->deleteLater();
        m_socket = nullptr;
        emit areaChanged(DeviceArea{target.desktop});
    });
    m_socket->connectToServer(m_socketPath);
}

void SwayScreenBinding::replyRead(const ScreenTarget& target)
{
    if (m_reply.size() < HeaderSize)
        return;
    quint32 header[2];
    std::memcpy(header, m_reply.constData() + sizeof(Magic), sizeof(header));
    const bool framed = m_reply.startsWith(QByteArray(Magic, sizeof(Magic))) && header[1] == RunCommand;
    if (framed && m_reply.size() < HeaderSize + qint64(header[0]))
        return;
    m_socket->disconnect(this);
    m_socket->disconnectFromServer();
    m_socket->deleteLater();
    m_socket = nullptr;

    // One result per command: [{"success":true}], or an error of sway's own.
    const QJsonArray results = QJsonDocument::fromJson(m_reply.mid(HeaderSize, header[0])).array();
    bool success = framed && !results.isEmpty();
    QString error;
    for (const QJsonValue& result : results) {
        success = success && result[QLatin1String("success")].toBool();
        error += result[QLatin1String("error")].toString();
    }
    if (success) {
        qCDebug(lcScreen, "sway maps the device to %s", qPrintable(target.name));
        emit areaChanged(DeviceArea{target.pixels});
        return;
    }
    qCDebug(lcScreen, "the device stays over the whole desktop: sway: %s",
            qPrintable(framed ? error : QStringLiteral("no IPC reply")));
    emit areaChanged(DeviceArea{target.desktop});
}
