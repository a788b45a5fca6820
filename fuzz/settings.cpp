// Connection settings as a person or a damaged file may leave them: the validation of every
// field combination, and the loading of a settings file that holds anything at all.
//
// Input: one mode byte. Even: Type (4 bytes LE), Port (4), a split position (1), then text
// (UTF-8) cut at the split into the address and the host name, then validated. Odd: the rest
// is written as the settings file, loaded and validated.
// Properties: Validate gives one of its four codes; a port outside 0 to 65535 is always
// refused, one inside never for its own sake; by host name only the name can be wrong, by
// address only the address. Loading yields values Validate can judge.
#include "fuzzsupport.h"

#include "engine/settings/connectionsettings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {
QString settingsFilePath()
{
    // A private configuration home for the whole run: the fuzzer never touches the
    // settings of the person who runs it.
    static QTemporaryDir home;
    static const bool set = [] {
        qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
        return QDir(home.path()).mkpath(QStringLiteral("Lumoravista"));
    }();
    (void)set;
    return home.path() + QStringLiteral("/Lumoravista/Quill Relay.conf");
}

void checkValidation(Settings& settings)
{
    const int result = settings.Validate();
    FUZZ_CHECK(result == Settings::Valid || result == Settings::InvalidHostName ||
               result == Settings::InvalidIpAddress || result == Settings::InvalidPort);
    const bool portInRange = settings.Port >= 0 && settings.Port <= 65535;
    FUZZ_CHECK(portInRange == (result != Settings::InvalidPort));
    if (settings.Type == CONNECT_BY_HOST_NAME)
        FUZZ_CHECK(result != Settings::InvalidIpAddress);
    else
        FUZZ_CHECK(result != Settings::InvalidHostName);
    if (settings.Type == CONNECT_BY_HOST_NAME && portInRange) {
        const bool nameUsable =
            !settings.HostName.isEmpty() && settings.HostName.size() <= Settings::MaxHostNameLength;
        FUZZ_CHECK(nameUsable == (result == Settings::Valid));
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::initQt();
    settingsFilePath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::Reader in(data, size);
    Settings settings;
    if ((in.u8() & 1) == 0) {
        settings.Type = int(in.u32());
        settings.Port = int(in.u32());
        const int split = in.u8();
        const QString text = QString::fromUtf8(in.rest());
        settings.IpAddress = text.left(split);
        settings.HostName = text.mid(split);
        checkValidation(settings);
        return 0;
    }

    const QByteArray content = in.rest();
    // A value "@Variant(...)" is a binary blob that the toolkit's decoder sizes by the length
    // it claims: a few damaged bytes ask for gigabytes. The allocation fails (or is never
    // touched) and the key reads as missing, so the program sees its default; measured
    // without the sanitizers the load stays at 10 MB. Under them the attempt alone trips the
    // allocator and the memory limit, so these inputs would only ever report the toolkit.
    if (content.contains("@Variant("))
        return 0;
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(content);
    file.close();
    FUZZ_CHECK(settings.Load());
    checkValidation(settings);
    return 0;
}
