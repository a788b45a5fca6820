#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QTimer;
class QUdpSocket;

// One projector found by a search.
struct PJListItem {
    QString Name;         // decoded ProjectorName; empty for an address the user typed
    QHostAddress Address; // always the plain IPv4 form, so toString() gives dotted text
    quint32 Status = 0;   // the reply's Status word; 0xFF marks a typed address that did not answer
};

// The projector search engine: sends the search requests, repeats a broadcast search,
// receives and checks the replies and keeps the list of projectors found.
//
// Idle after construction and after Stop(); StartSearch() makes it Searching (socket bound
// to port 5320, repeat timer running). A broadcast search sends its request four times,
// 500 ms apart, and ends 2000 ms after the start; a search of given addresses sends each
// of them the request once and ends at the first timer tick.
//
// Everything runs on the thread the engine lives in (the GUI thread); no call blocks.
class PJSearchUdp final : public QObject {
    Q_OBJECT
public:
    // `ipList`: index 0 is this computer's own address on the chosen interface, the others
    // are the destinations ([own, broadcast] for a broadcast search).
    PJSearchUdp(QObject* parent, quint32 appFlag, const QList<QHostAddress>& ipList);
    ~PJSearchUdp() override;
    Q_DISABLE_COPY_MOVE(PJSearchUdp)

    // Replaces the target list; a running search sends its remaining repeats to the new
    // list and checks later replies against it. The found list stays.
    void SetIpList(const QList<QHostAddress>& ipList);
    QList<QHostAddress> IpList() const { return m_ipList; }

    // Starts a search: SRCH_CMD_BROADCAST (which first empties the found list) or
    // SRCH_CMD_UNICAST. False, and nothing started, when the target list has no usable
    // own address at index 0.
    bool StartSearch(int commandId);
    bool IsSearching() const { return m_searching; }
    // Ends the search and closes the socket; replies that arrive later are not received.
    bool Stop();

    int PJListCount() const { return int(m_pjList.size()); }
    // Copies item `index` (0 to PJListCount() - 1) into `item`; false for any other index.
    bool GetPJListItem(int index, PJListItem& item) const;
    // Appends an item unless one with the same IPv4 address is listed (the first one stays).
    void AddPJListItem(const QHostAddress& address, const QString& name, quint32 status);

    // The CommandID of the current or last search (SRCH_CMD_BROADCAST or SRCH_CMD_UNICAST),
    // 0 before the first one.
    int SearchMode() const { return m_searchMode; }
    // Sequence number of the current or last search: 1 for the first, wrapping to 0.
    quint16 SeqNo() const { return m_seqNo; }
    quint32 AppFlag() const { return m_appFlag; }

    // Rows that notifications (projectors announcing themselves unasked) may add to the
    // found list during one search. Any host on the link can send them, as many as it likes;
    // past this bound they are ignored, so a flood cannot bury the real replies under
    // thousands of rows. A notification naming another address than its sender's adds two.
    static constexpr int MAX_NOTIFIED_ROWS = 64;

    // The acceptance check of a received datagram against the running search
    // (0 rejected, 1 reply to a search of given addresses, 2 broadcast reply, 3 notification).
    int SearchAckDataCheck(QByteArrayView data, const QHostAddress& sender) const;

    // Sends `length` bytes of `data` as one datagram to port 5320 of `address`. Never waits:
    // datagram sockets hold no write buffer, so there is nothing earlier to wait for.
    // A target without an IPv4 value, or 0.0.0.0, is refused (it would reach this computer
    // itself). On failure logs the "UDPSend Error!!" line and returns false.
    bool UDPSend(const QHostAddress& address, const char* data, qint64 length);

private slots:
    void UdpSendTimeout();
    void UdpReadyRead();
    void UdpSocketError();
    void UdpSocketDisconnect();

private:
    void handleDatagram(const QByteArray& data, qsizetype received, const QHostAddress& sender);
    void sendRequest(const QHostAddress& address);

    quint32 m_appFlag;
    QList<QHostAddress> m_ipList;
    QList<PJListItem> m_pjList;
    QByteArray m_request;
    quint16 m_seqNo = 0;
    quint32 m_timeStamp = 0;
    int m_searchMode = 0;
    QUdpSocket* m_socket = nullptr;
    QTimer* m_timer = nullptr;
    int m_sendCount = 0;
    int m_notifiedRows = 0; // rows added by notifications in the current search
    bool m_searching = false;
};
