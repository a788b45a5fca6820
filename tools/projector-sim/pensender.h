#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>

// Sends pen-status datagrams (13-byte records) from a built-in script after a pen-on
// command, one datagram per tick, until the script ends or a pen-off command arrives.
class PenSender final : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString script = QStringLiteral("line");
        int rateHz = 100;
        int startDelayMs = 200; // time for the computer to open its pen-status port
        bool loop = false;
        bool sequence = false; // a running number in bytes 2 to 4
        int limit = 0;         // datagrams to send at most, loops included (0: no limit)
    };

    explicit PenSender(QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(PenSender)

    static QStringList scripts();
    void setOptions(const Options& options) { m_options = options; }

    void start(const QHostAddress& address, quint16 port);
    void stop();

    // The datagrams of a script, without sequence numbers; empty for an unknown name.
    static QList<QByteArray> datagrams(const QString& script);

private:
    void tick();

    Options m_options;
    QUdpSocket m_socket;
    QTimer m_timer;
    QList<QByteArray> m_datagrams;
    qsizetype m_next = 0;
    int m_sent = 0;
    quint32 m_sequence = 0;
    QHostAddress m_address;
    quint16 m_port = 0;
};
