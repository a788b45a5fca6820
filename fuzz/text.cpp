// Text that a person types or a damaged file holds: the settings file as the store loads it
// and the validation of its values, and the address fields; all of them read addresses
// through the one IPv4 parser.
//
// Input: a mode byte. 0 or 1: the rest is the settings file. Any other value: the whole
// input is the text of an address field.
// Properties: a port is refused exactly outside 1 to 65535; past the port, by host name only
// the name's length decides and by address only whether the parser takes it; what the store
// loads it saves and loads back unchanged. The parser reads text and bytes alike, and an
// address in a field reads back from its own dotted and masked forms.
#include "fuzzsupport.h"

#include "core/ipv4.h"
#include "engine/settings/connectionsettings.h"
#include "ui/addressinput.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput in{data, size};
    if (in.u8() < 2) {
        // Never the settings of whoever runs the fuzzer, and in memory: every save syncs the
        // file to its disk, which would make this target ten times slower.
        static QTemporaryDir home(QStringLiteral("/dev/shm/qr-fuzz-XXXXXX"));
        static const bool ready = QDir(home.path()).mkpath(QStringLiteral("Lumoravista"));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, home.path());
        // A value "@Variant(…)" is a blob that the toolkit's decoder sizes by the length it
        // claims: a few damaged bytes ask for gigabytes, which trips the sanitizers'
        // allocator before the key reads as missing. Such inputs only ever report the toolkit.
        const QByteArray content = in.bytes(size);
        QFile file(home.filePath(QStringLiteral("Lumoravista/Quill Relay.ini")));
        if (!ready || content.contains("@Variant(") || !file.open(QIODevice::WriteOnly) ||
            file.write(content) != content.size())
            return 0;
        file.close();
        const SettingsStore store(QSettings::IniFormat);
        const ConnectionSettings s = store.load();
        using V = ConnectionSettings::Validity;
        const V v = s.validate();
        FUZZ_CHECK((v == V::InvalidPort) == (s.port < 1 || s.port > 65535));
        const bool usable = s.type == ConnectBy::HostName
                                ? !s.hostName.isEmpty() && s.hostName.size() <= 32
                                : ipv4::parse(s.ipAddress).has_value();
        FUZZ_CHECK(v == V::InvalidPort || (v == V::Valid) == usable);
        store.save(s); // false when the file it replaced was malformed, though it wrote
        FUZZ_CHECK(store.load() == s);
        return 0;
    }
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    FUZZ_CHECK(ipv4::parse(text) == ipv4::parse(text.toUtf8()));
    const QHostAddress address = AddressInput::addressFromField(text);
    QStringList masked; // as the field shows it: octets padded to three places with blanks
    for (const QString& octet : address.toString().split(QLatin1Char('.')))
        masked << octet.leftJustified(3, QLatin1Char(' '));
    FUZZ_CHECK(address.isNull() || (AddressInput::addressFromField(address.toString()) == address &&
                                    AddressInput::addressFromField(masked.join('.')) == address));
    return 0;
}
