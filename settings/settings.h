#pragma once

#include <QObject>
#include <QString>

// How the projector is addressed.
inline constexpr int CONNECT_BY_IP_ADDRESS = 0;
inline constexpr int CONNECT_BY_HOST_NAME = 1;

// Which injector receives the pen events.
inline constexpr int PEN_MODE_TOUCH = 0;
inline constexpr int PEN_MODE_MOUSE = 1;

// TCP port of the projector's command link.
inline constexpr int DEFAULT_COMMAND_PORT = 7142;

// The connection settings record and its persistent form: QSettings in the native format,
// organisation "Lumoravista", application "Quill Relay", group "Settings". On Linux that is
// ~/.config/Lumoravista/Quill Relay.conf, with /etc/xdg/Lumoravista/Quill Relay.conf as the
// system-wide fallback that QSettings reads for keys the user's file does not have.
class Settings : public QObject {
    Q_OBJECT
public:
    enum ValidationResult { Valid = 1, InvalidHostName = -1, InvalidIpAddress = -2, InvalidPort = -3 };

    explicit Settings(QObject* parent = nullptr);

    bool Load();
    bool Save();
    int Validate();

    int Type = CONNECT_BY_IP_ADDRESS;
    QString IpAddress;
    QString HostName;
    int Port = DEFAULT_COMMAND_PORT;
    int PenMode = PEN_MODE_TOUCH;
    QString Adapter;

    static constexpr int MaxHostNameLength = 32;
};
