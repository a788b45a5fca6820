#pragma once

#include "core/settingstext.h"

#include <QSettings>
#include <QString>

// How the projector is addressed.
enum class ConnectBy : int { IpAddress = 0, HostName = 1 };

// Which injector receives the pen events.
enum class PenMode : int { Touch = 0, Mouse = 1 };

// TCP port of the projector's command link.
inline constexpr int DEFAULT_COMMAND_PORT = 7142;

// The connection settings record.
struct ConnectionSettings {
    enum class Validity : int { Valid = 1, InvalidHostName = -1, InvalidIpAddress = -2, InvalidPort = -3 };
    static constexpr int MaxHostNameLength = settingstext::MaxHostNameLength;

    ConnectBy type = ConnectBy::IpAddress;
    QString ipAddress;
    QString hostName;
    int port = DEFAULT_COMMAND_PORT;
    PenMode penMode = PenMode::Touch;
    QString adapter;
    QString screen; // the target screen's name (QScreen::name()); empty for the primary one

    // Whether the record can be used to connect: a host name of 1 to 32 characters or a
    // dotted IPv4 address (whichever the type selects), and a port from 1 to 65535. A bad port
    // hides a bad address.
    Validity validate() const;
    // The host to connect to, as the type selects it.
    QString host() const { return type == ConnectBy::HostName ? hostName : ipAddress; }

    friend bool operator==(const ConnectionSettings& a, const ConnectionSettings& b);
};

// The persistent form: QSettings, organisation "Lumoravista", application "Quill Relay",
// group "Settings", keys Type, IpAddress, HostName, Port, PenMode, Adapter and Screen. In the native
// format that is ~/.config/Lumoravista/Quill Relay.conf on Linux, with
// /etc/xdg/Lumoravista/Quill Relay.conf as the system-wide fallback that QSettings reads for
// keys the user's file does not have; on Windows the registry key
// HKEY_CURRENT_USER\Software\Lumoravista\Quill Relay, falling back to HKEY_LOCAL_MACHINE.
class SettingsStore {
public:
    // Tests use the INI format under a path of their own (QSettings::setPath).
    explicit SettingsStore(QSettings::Format format = QSettings::NativeFormat) : m_format(format) {}

    // Missing keys give the defaults; a stored value that is not a number reads as 0, a Type
    // other than 1 as connecting by IP address and a pen mode other than 0 or 1 as touch.
    ConnectionSettings load() const;
    bool save(const ConnectionSettings& settings) const;

private:
    QSettings::Format m_format;
};
