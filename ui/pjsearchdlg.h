#pragma once

#include "engine/search/niclist.h"
#include "engine/search/pjsearchudp.h"

#include <QDialog>
#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QTimer>

class QTableWidgetItem;

namespace Ui {
class PJSearchDlg;
}

// The "Projector List" dialog: a broadcast search on the interface chosen in its combo box
// (at once through BeginSearch(), again on Update or another interface), a search of typed
// addresses (Input Address...), a table that shows each projector as the engine finds it,
// and Connect, which accepts the dialog with the selected projector.
class PJSearchDlg : public QDialog {
    Q_OBJECT
public:
    // A search still running after this long is stopped (the engine ends its own searches
    // after at most 2 s; this is the watchdog behind it).
    static constexpr int SEARCH_TIMEOUT_MS = 11 * 500;

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

    PJSearchUdp& engine() { return m_engine; }

private slots:
    void on_tableWidgetPJList_itemChanged(QTableWidgetItem* item);
    void on_pushButtonInputAddress_clicked();
    void on_pushButtonConnect_clicked();
    void on_pushButtonUpdate_clicked();
    void on_pushButtonClose_clicked();
    void SearchTimerTimuout();
    void comboBoxNicCurrentIndexChanged();
    void onitemClicked(QTableWidgetItem* item);
    void appendNewRows();
    void searchFinished();

private:
    void setUpTable();
    void updateConnectButton();
    // Follows up a search request: the watchdog for a new search, the end at once for one
    // that could not start. False when a running search took the new targets instead.
    bool searchStarted(PJSearchUdp::Start start);

    QHostAddress CurrentIp;
    QList<QHostAddress> SelectedIpList;
    qint32 InputMode = 0;
    QHostAddress InputStartIp;
    QHostAddress InputEndIp;
    NicList m_nicList;
    PJSearchUdp m_engine;
    qint32 NicIndex = -1;
    QStringList NicNameList;
    Ui::PJSearchDlg* ui = nullptr;
    // Runs from each start: time carried over from earlier searches would cut healthy
    // searches short and lose the projectors that answer late.
    QTimer SearchTimer;
};
