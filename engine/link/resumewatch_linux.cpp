#include "engine/link/resumewatch.h"

#include "core/logging.h"

#include <QDBusConnection>
#include <QDBusError>

namespace {

const char* const Login1Service = "org.freedesktop.login1";
const char* const Login1Path = "/org/freedesktop/login1";
const char* const Login1Manager = "org.freedesktop.login1.Manager";

// logind says PrepareForSleep(true) before the system sleeps and PrepareForSleep(false)
// once it is back. Only the signal of logind itself counts, whoever else sends one.
class Login1ResumeWatch final : public ResumeWatch {
    Q_OBJECT
public:
    using ResumeWatch::ResumeWatch;
    Q_DISABLE_COPY_MOVE(Login1ResumeWatch)

    bool subscribe(QDBusConnection bus)
    {
        return bus.connect(QLatin1String(Login1Service), QLatin1String(Login1Path),
                           QLatin1String(Login1Manager), QStringLiteral("PrepareForSleep"), this,
                           SLOT(prepareForSleep(bool)));
    }

private slots:
    void prepareForSleep(bool sleeping)
    {
        if (!sleeping)
            emit resumed();
    }
};

} // namespace

std::unique_ptr<ResumeWatch> createResumeWatch()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCDebug(lcLink) << "resume watch: no system bus:" << bus.lastError().message();
        return std::make_unique<ResumeWatch>();
    }
    auto watch = std::make_unique<Login1ResumeWatch>();
    if (!watch->subscribe(bus)) {
        qCDebug(lcLink) << "resume watch: logind's sleep signal refused:" << bus.lastError().message();
        return std::make_unique<ResumeWatch>();
    }
    return watch;
}

#include "resumewatch_linux.moc"
