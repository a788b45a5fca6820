#pragma once

#include "protocol/pencommand.h"

#include <QHostAddress>
#include <QObject>
#include <QTimer>

struct CommandOutcome {
    CommandResult result = CommandResult::ConnectFailed;
    QHostAddress projector; // the peer that acknowledged the command (Ok only)
};

Q_DECLARE_METATYPE(CommandOutcome)

// One pen-control command carried to the projector and its answer back, without waiting
// for it: start() begins the exchange, finished() says how it ended. The controller speaks
// only to this, so that tests can stand a scripted projector in its place.
class PenCommandExchange : public QObject {
    Q_OBJECT
public:
    explicit PenCommandExchange(QObject* parent = nullptr);
    ~PenCommandExchange() override;
    Q_DISABLE_COPY_MOVE(PenCommandExchange)

    // Begins `cmd`. An exchange under way is dropped first, and so is an outcome that was
    // not delivered yet: after start() only this command's finished() comes.
    virtual void start(const CPenControl& cmd) = 0;
    // Gives up the exchange under way at once. Its finished() follows from the event loop,
    // with the result reached so far: ConnectFailed while connecting, SendFailed while
    // sending, NoReply while waiting for the reply. Nothing happens when none is under way.
    virtual void abort() = 0;
    virtual bool isRunning() const = 0;

signals:
    // Once per started command, never from inside start() or abort().
    void finished(const CommandOutcome& outcome);

protected:
    // finished(outcome) from the event loop, unless start() comes first.
    void deliverLater(const CommandOutcome& outcome);
    void cancelDelivery() { m_delivery.stop(); }
    bool deliveryPending() const { return m_delivery.isActive(); }

private:
    QTimer m_delivery;
    CommandOutcome m_pending;
};
