#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

// The projector's command port: accepts a connection, reads command frames (header of five
// bytes with a 12-bit data length, data, checksum) and answers the pen-control command.
//
// How it answers is chosen per connection from a list of modes; the last mode of the list
// holds for every later connection:
//   ok       positive reply 23 CE 00 00 02 00 <result> <sum>, result byte 0
//   reject   positive reply with the result byte of --result (2 unless given)
//   error    error reply A3 CE 00 00 02 00 00 73
//   silent   accepts the command and never answers
//   drop     closes the connection when the command has arrived, without a reply
//   split    the positive reply in two writes, --split-gap ms apart, cut after --split-at bytes
//   garbage  first a chunk that is not the reply (22 CE 00 00 00 F0), then the positive reply
//   short    a positive reply of six bytes, shorter than the command expects
//   noread   accepts the connection and never reads from it
// "refuse" as the only mode means the port is not opened at all, so connecting is refused.
class CommandPort final : public QObject {
    Q_OBJECT
public:
    struct Options {
        QHostAddress address = QHostAddress::AnyIPv4;
        quint16 port = 7142;
        QStringList modes{QStringLiteral("ok")};
        int replyDelayMs = 0;
        int splitAt = 3;
        int splitGapMs = 200;
        int rejectResult = 2;
        bool closeAfterReply = false; // close the connection as soon as the reply is out
    };

    explicit CommandPort(QObject* parent = nullptr);
    Q_DISABLE_COPY_MOVE(CommandPort)

    static bool isKnownMode(const QString& mode);
    bool start(const Options& options, QString* error);

signals:
    // A pen-on command was answered with success: pen states go to address:port.
    void penOn(const QHostAddress& address, quint16 port);
    // A pen-off command was answered with success.
    void penOff();

private:
    void accept();
    void readFrom(QTcpSocket* socket, const QString& mode);
    void answer(QTcpSocket* socket, const QString& mode, const QByteArray& frame);
    void write(QTcpSocket* socket, const QByteArray& bytes);

    QTcpServer m_server;
    Options m_options;
    int m_connections = 0;
};
