#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// The projector simulator, started by a test in the projector namespace of its namespace
// pair (support/netns-pair.sh, registered with qr_add_netns_test). Every line the simulator
// writes is kept, so that a test can check what reached the projector byte for byte:
//   "search-rx 10.77.0.2 10.77.0.1:5320 cmd=2 seq=1 5A 52 56 58 …"
//   "cmd-rx 10.77.0.1:40112 03 CE 00 00 01 01 D3"
// (the simulator's --help lists all of them).
class NetnsProjector final : public QObject {
    Q_OBJECT
public:
    explicit NetnsProjector(QObject* parent = nullptr);
    ~NetnsProjector() override;
    Q_DISABLE_COPY_MOVE(NetnsProjector)

    // True when the test runs inside a namespace pair and knows the simulator; otherwise
    // `why` says what is missing. Use QR_REQUIRE_NETNS() at the top of a test.
    static bool available(QString* why = nullptr);
    static QString computerAddress();        // 10.77.0.1
    static QString projectorAddress();       // 10.77.0.2
    static QStringList projectorAddresses(); // 10.77.0.2 and the extra ones
    // The system name of the interface that holds the computer's address in the pair.
    static QString computerInterfaceName();
    // Writes the program's settings (in the test's own settings home) so that it connects
    // to `ip` through `adapter` at start.
    static void storeSettings(const QString& ip, const QString& adapter, int penMode = 0);

    // Starts the simulator with these options and waits until it listens.
    bool start(const QStringList& options, int timeoutMs = 10000);
    // Ends it (and waits for it) and reads its last lines.
    void stop();
    bool isRunning() const;
    QString errorString() const { return m_error; }

    QStringList lines() const { return m_lines; }
    // Lines that begin with `prefix` ("cmd-rx ").
    QStringList lines(const QString& prefix) const;
    // Waits in the event loop until `count` lines beginning with `prefix` have arrived.
    bool waitForLines(const QString& prefix, int count = 1, int timeoutMs = 5000);

private:
    void readOutput();

    QProcess m_process;
    QByteArray m_partial;
    QStringList m_lines;
    QString m_error;
};

// Skips the current test, loudly, when it does not run in a namespace pair.
#define QR_REQUIRE_NETNS()                                                                         \
    do {                                                                                           \
        QString why_;                                                                              \
        if (!NetnsProjector::available(&why_))                                                     \
            QSKIP(qPrintable(QStringLiteral("SKIPPED (network namespaces): ") + why_));            \
    } while (false)
