#pragma once

// A private D-Bus daemon that any user may own names on and call through, in the place of
// the system's or the session's bus (say which by setting its address before QtDBus first
// asks for that bus). address() is empty where dbus-daemon is missing.
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

class PrivateBus final {
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        QFile config(m_dir.filePath(QStringLiteral("bus.conf")));
        if (daemon.isEmpty() || !m_dir.isValid() || !config.open(QIODevice::WriteOnly))
            return;
        config.write("<busconfig><listen>unix:dir=" + m_dir.path().toUtf8() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                     "<allow receive_sender=\"*\"/></policy></busconfig>");
        config.close();
        m_daemon.start(daemon, {"--nofork", "--print-address", "--config-file=" + config.fileName()});
        if (m_daemon.waitForReadyRead(10000))
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
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
