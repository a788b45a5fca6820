#pragma once

#include "engine/settings/connectionsettings.h"

#include <QDialog>
#include <QHostAddress>
#include <QString>

namespace Ui {
class CommunicationSettings;
}

// The "Select a connection" dialog: projector by IPv4 address or host name, command port,
// and Auto Search, which picks a projector and the interface it was found on. It stores
// nothing itself: the caller hands in the current values with SetValues() and reads them
// back after exec() returned 1.
class CommunicationSettings : public QDialog {
    Q_OBJECT
public:
    explicit CommunicationSettings(QWidget* parent = nullptr);
    ~CommunicationSettings() override;
    Q_DISABLE_COPY_MOVE(CommunicationSettings)

    void SetValues(const ConnectionSettings& values);

    // Set before exec(): runs Auto Search once, right after the dialog first appears.
    bool autoSearchOnShow = false;
    // The projector in use (null when none is), which the projector list marks.
    void setConnectedProjector(const QHostAddress& address) { m_connectedProjector = address; }

    // The values, confirmed once exec() has returned 1.
    const ConnectionSettings& values() const { return m_values; }

signals:
    void execSearch();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private slots:
    void on_pushButton_Close_clicked();
    void on_pushButton_Connect_clicked();
    void on_radioButton_HostName_toggled(bool checked);
    void on_radioButton_IPAdress_toggled(bool checked);
    void on_pushButton_AutoSearch_clicked();

private:
    void UpdateEnabled();

    ConnectionSettings m_values;
    bool m_shownOnce = false;
    Ui::CommunicationSettings* ui = nullptr;
    // What Auto Search starts from: single-address mode, no range.
    int m_searchMode = 0;
    QHostAddress m_searchRange[2];
    QHostAddress m_connectedProjector;
};
