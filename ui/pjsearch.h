#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class PJSearchDlg;
class QWidget;

// Runs the projector list dialog once and keeps what the user chose: the projector's
// address and the system name of the interface it was found on.
class PJSearch : public QObject {
    Q_OBJECT
public:
    explicit PJSearch(QObject* parent = nullptr);
    ~PJSearch() override;
    Q_DISABLE_COPY_MOVE(PJSearch)

    // Opens the list dialog with a broadcast search already running and returns its result
    // (1 when the user pressed Connect). `range` is the start and end of the address input.
    int SelectIpList(quint32 appFlag, const QHostAddress& currentIp, int mode,
                     const QHostAddress range[2], QWidget* parent);

    QList<QHostAddress> GetSelectedIpList() const { return m_selectedIpList; }
    QString GetAdapterName() const { return m_adapterName; }
    void GetInputAddress(int& mode, QHostAddress range[2]) const;

    // The dialog while SelectIpList() runs it, null otherwise; lets a caller (or a test)
    // drive the dialog from the modal loop.
    PJSearchDlg* dialog() const { return m_dialog; }

private:
    int m_mode = 0;
    QHostAddress m_range[2];
    QList<QHostAddress> m_selectedIpList;
    PJSearchDlg* m_dialog = nullptr;
    QString m_adapterName;
};
