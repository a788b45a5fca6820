#pragma once

#include "protocol/searchpacket.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUdpSocket>

// One projector found by a search.
struct PJListItem {
    QString Name;         // decoded ProjectorName; empty for an address the user typed
    QHostAddress Address; // always the plain IPv4 form, so toString() gives dotted text
    quint32 Status = 0;   // the reply's Status word; FAILED_STATUS: a typed address that did not answer
    friend bool operator==(const PJListItem& a, const PJListItem& b)
    {
        return a.Name == b.Name && a.Address == b.Address && a.Status == b.Status;
    }
};

// The projector search engine: sends the search requests, repeats a broadcast search,
// receives and checks the replies and keeps the list of projectors found, telling each new
// one with found() and the end of a search with finished().
//
// A broadcast search sends its request four times, 500 ms apart, and ends 2000 ms after
// the start; a search of given addresses sends each of them the request once and ends
// 500 ms after the start. Everything runs on the thread the engine lives in (the GUI
// thread); no call blocks.
class PJSearchUdp final : public QObject {
    Q_OBJECT
public:
    static constexpr quint32 FAILED_STATUS = 255;
    // Rows that notifications (projectors announcing themselves unasked) may add to the
    // found list during one search. Any host on the link can send them, as many as it likes;
    // past this bound they are ignored, so a flood cannot bury the real replies under
    // thousands of rows. A notification naming another address than its sender's adds two.
    static constexpr int MAX_NOTIFIED_ROWS = 64;

    enum class Start {
        Started,     // a new search runs
        Retargeted,  // a search was running: it goes on, sending to and checking against
                     // the new targets
        NoInterface, // no usable own address: nothing started
    };

    explicit PJSearchUdp(quint32 appFlag, QObject* parent = nullptr);
    ~PJSearchUdp() override;
    Q_DISABLE_COPY_MOVE(PJSearchUdp)

    // A broadcast search from `own` (this computer's address on the chosen network) to
    // `broadcast`. Empties the found list first.
    Start searchBroadcast(const QHostAddress& own, const QHostAddress& broadcast);
    // A search of every address from `first` to `last`, ascending. The found list is kept.
    // With `listSilent`, an address that has not answered when the search ends is listed
    // with FAILED_STATUS.
    Start searchAddresses(const QHostAddress& own, const QHostAddress& first,
                          const QHostAddress& last, bool listSilent);
    bool IsSearching() const { return m_searching; }
    // Ends a running search and closes the socket; replies that arrive later are not
    // received. Emits finished() when a search was running.
    void Stop();

    const QList<PJListItem>& items() const { return m_pjList; }
    // The targets of the current or last search: own address first, then the destinations.
    QList<QHostAddress> IpList() const { return m_ipList; }
    SearchMode searchMode() const { return m_searchMode; }
    // Sequence number of the current or last search: 1 for the first, wrapping to 0.
    quint16 SeqNo() const { return m_seqNo; }

    // Judges one received datagram as if it had arrived from `sender` and lists what it
    // announces; the socket's reader calls it for each datagram.
    SearchCheck handleDatagram(QByteArrayView data, const QHostAddress& sender);

signals:
    void found(const PJListItem& item);
    void finished();

private slots:
    void UdpSendTimeout();
    void UdpReadyRead();
    void UdpSocketError();

private:
    Start start(SearchMode mode, const QList<QHostAddress>& targets);
    void AddPJListItem(const QHostAddress& address, const QString& name, quint32 status);
    bool UDPSend(const QHostAddress& address, const QByteArray& data);

    quint32 m_appFlag;
    QList<QHostAddress> m_ipList;
    QList<PJListItem> m_pjList;
    QByteArray m_request;
    quint16 m_seqNo = 0;
    SearchMode m_searchMode = SearchMode::Broadcast;
    QUdpSocket m_socket;
    QTimer m_timer;
    int m_sendCount = 0;
    int m_notifiedRows = 0;       // rows added by notifications in the current search
    QHostAddress m_silentAddress; // listed as failed if it has not answered at the end
    bool m_searching = false;
};
