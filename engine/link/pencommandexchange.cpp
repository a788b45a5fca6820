#include "engine/link/pencommandexchange.h"

PenCommandExchange::PenCommandExchange(QObject* parent) : QObject(parent)
{
    m_delivery.setSingleShot(true);
    m_delivery.setInterval(0);
    connect(&m_delivery, &QTimer::timeout, this, [this] { emit finished(m_pending); });
}

PenCommandExchange::~PenCommandExchange() = default;

void PenCommandExchange::deliverLater(const CommandOutcome& outcome)
{
    m_pending = outcome;
    m_delivery.start();
}
