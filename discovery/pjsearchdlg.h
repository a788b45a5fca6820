#pragma once

#include <QDialog>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTimer>

class NicList;
class PJSearchUdp;
class QTableWidgetItem;

namespace Ui {
class PJSearchDlg;
}

// The "Projector List" dialog: a broadcast search on the interface chosen in its combo box
// (at once through BeginSearch(), again on Update or another interface), a search of typed
// addresses (Input Address...), a table that a 500 ms poll fills with what the engine
// found, and Connect, which accepts the dialog with the selected projector.
class PJSearchDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int SEARCH_TIMER_INTERVAL_MS = 500;
    // A search still running after this many polls is stopped.
    static constexpr int SEARCH_TIMEOUT_TICKS = 10;
    static constexpr quint32 FAILED_STATUS = 255;

    // `inputRange` holds the start and end of the address input the dialog starts from.
    PJSearchDlg(quint32 appFlag, const QHostAddress& currentIp, int inputMode,
                const QHostAddress inputRange[2], QWidget* parent = nullptr);
    ~PJSearchDlg() override;
    Q_DISABLE_COPY_MOVE(PJSearchDlg)

    // The Update action: a broadcast search on the chosen interface.
    void BeginSearch();

    QList<QHostAddress> GetSelectedIpList() const { return SelectedIpList; }
    int GetNicIndex() const { return NicIndex; }
    // The system name of interface `index` in combo-box order; empty for no such index.
    QString GetNicName(int index) const;
    // Mode and range of the last confirmed address input (or those passed in). Returns 0.
    int GetInputAddress(int& mode, QHostAddress range[2]) const;

    // The watchdog's count of polls that found the current search still running.
    int searchTimeoutCount() const { return m_searchTimeoutCount; }
    // The targets of the last address-input search: own address first, then each address.
    QList<QHostAddress> inputIpList() const { return InputIpList; }

private slots:
    void on_tableWidgetPJList_itemChanged(QTableWidgetItem* item);
    void on_pushButtonInputAddress_clicked();
    void on_pushButtonConnect_clicked();
    void on_pushButtonUpdate_clicked();
    void on_pushButtonClose_clicked();
    void SearchTimerTimuout();
    void comboBoxNicCurrentIndexChanged();
    void onitemClicked(QTableWidgetItem* item);

private:
    void setUpTable();
    void updateConnectButton();
    // Gives the engine `targets` (creating it first) and starts a search of `commandId`
    // unless one is running; returns whether a new search was started.
    bool startSearch(const QList<QHostAddress>& targets, int commandId);
    void appendNewRows();

    quint32 AppFlag = 0;
    QHostAddress CurrentIp;
    QList<QHostAddress> SelectedIpList;
    qint32 InputMode = 0;
    QHostAddress InputStartIp;
    QHostAddress InputEndIp;
    QList<QHostAddress> InputIpList;
    NicList* m_nicList = nullptr;
    PJSearchUdp* pPJSearchUdp = nullptr;
    qint32 NicIndex = -1;
    QStringList NicNameList;
    Ui::PJSearchDlg* ui = nullptr;
    QTimer SearchTimer;
    // Counts per search, from 0 at each start: a count carried over from earlier searches
    // would cut healthy searches short and lose the projectors that answer late.
    int m_searchTimeoutCount = 0;
};
