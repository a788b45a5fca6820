#pragma once

// A private D-Bus daemon with the session bus's rules, in the place of the bus whose address
// `variable` names (DBUS_SESSION_BUS_ADDRESS or DBUS_SYSTEM_BUS_ADDRESS): QtDBus reads it when
// that bus is first asked for, so make this first. address() is empty where dbus-daemon is
// missing.
#include <QProcess>
#include <QTemporaryDir>

class PrivateBus final {
public:
    explicit PrivateBus(const char* variable)
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address",
                                                       "--address=unix:dir=" + m_dir.path()});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        if (!m_address.isEmpty())
            qputenv(variable, m_address.toUtf8());
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    Q_DISABLE_COPY_MOVE(PrivateBus)

    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};
