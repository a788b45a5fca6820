#include "discovery/pjsearchdlg.h"

#include "app/commonlib.h"
#include "app/logging.h"
#include "discovery/adapterdescriptions.h"
#include "discovery/addressinput.h"
#include "discovery/dialogsupport.h"
#include "discovery/niclist.h"
#include "discovery/pjsearchudp.h"
#include "discovery/searchpacket.h"
#include "ui_pjsearchdlg.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableWidgetItem>

#include <memory>

namespace {
constexpr int kNameColumnWidth = 120;
constexpr int kAddressColumnWidth = 110;
} // namespace

PJSearchDlg::PJSearchDlg(quint32 appFlag, const QHostAddress& currentIp, int inputMode,
                         const QHostAddress inputRange[2], QWidget* parent)
    : QDialog(parent), ui(new Ui::PJSearchDlg)
{
    runGuarded([&] {
        ui->setupUi(this);
        CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("PJSearchDlg"));
        setWindowTitle(tr("Projector List"));
        setWindowFlags(DialogWindowFlags);

        AppFlag = appFlag;
        CurrentIp = currentIp;
        InputMode = inputMode;
        InputStartIp = inputRange[0];
        InputEndIp = inputRange[1];

        ui->pushButtonConnect->setEnabled(false);
        connect(&SearchTimer, &QTimer::timeout, this, &PJSearchDlg::SearchTimerTimuout);

        m_nicList = new NicList;
        NicNameList.clear();
        const std::unique_ptr<AdapterDescriptions> adapters = AdapterDescriptions::create();
        for (int i = 0; i < m_nicList->Count(); ++i) {
            QString text;
            QString displayName;
            if (m_nicList->GetDisplayName(i, displayName)) {
                text = displayName;
                QString systemName;
                if (m_nicList->GetName(i, systemName)) {
                    NicNameList.append(systemName);
                    const QString description = adapters->description(systemName);
                    if (!description.isEmpty())
                        text = description;
                }
            }
            ui->comboBoxNic->addItem(text);
        }
        NicIndex = ui->comboBoxNic->currentIndex();
        pPJSearchUdp = nullptr;
        SelectedIpList.clear();
        // Connected only now, so that filling the box starts no search.
        connect(ui->comboBoxNic, &QComboBox::currentIndexChanged, this,
                &PJSearchDlg::comboBoxNicCurrentIndexChanged);
        setUpTable();
    });
}

PJSearchDlg::~PJSearchDlg()
{
    SearchTimer.stop();
    delete m_nicList;
    delete pPJSearchUdp;
    delete ui;
}

void PJSearchDlg::setUpTable()
{
    runGuarded([&] {
        QTableWidget* table = ui->tableWidgetPJList;
        table->setColumnCount(3);
        const QString headers[3] = {tr("Projector"), tr("IP Address"), tr("Status")};
        for (int column = 0; column < 3; ++column) {
            auto* header = new QTableWidgetItem(headers[column]);
            header->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            table->setHorizontalHeaderItem(column, header);
        }
        table->verticalHeader()->setVisible(false);
        table->horizontalHeader()->setSectionsClickable(false);
        table->setCornerButtonEnabled(false);
        table->setShowGrid(false);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionMode(QAbstractItemView::SingleSelection);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        table->setAlternatingRowColors(false);
        table->setTabKeyNavigation(false);
        // The columns share the table's width: at 150, 130 and 100 pixels they would run
        // past its 331 pixels and hide the status behind a scroll bar.
        table->setColumnWidth(0, kNameColumnWidth);
        table->setColumnWidth(1, kAddressColumnWidth);
        table->horizontalHeader()->setStretchLastSection(true);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(table, &QTableWidget::itemClicked, this, &PJSearchDlg::onitemClicked);
        connect(table, &QTableWidget::itemDoubleClicked, this, &PJSearchDlg::onitemClicked);
    });
}

QString PJSearchDlg::GetNicName(int index) const
{
    if (index < 0 || index >= NicNameList.size())
        return QString();
    return NicNameList.at(index);
}

int PJSearchDlg::GetInputAddress(int& mode, QHostAddress range[2]) const
{
    mode = InputMode;
    range[0] = InputStartIp;
    range[1] = InputEndIp;
    return 0;
}

void PJSearchDlg::BeginSearch()
{
    on_pushButtonUpdate_clicked();
}

bool PJSearchDlg::startSearch(const QList<QHostAddress>& targets, int commandId)
{
    if (!pPJSearchUdp)
        pPJSearchUdp = new PJSearchUdp(this, AppFlag, targets);
    else
        pPJSearchUdp->SetIpList(targets);
    if (pPJSearchUdp->IsSearching())
        return false;
    m_searchTimeoutCount = 0;
    if (!pPJSearchUdp->StartSearch(commandId))
        qCDebug(lcUi, "Start Error!!");
    return true;
}

void PJSearchDlg::on_pushButtonUpdate_clicked()
{
    ui->pushButtonConnect->setEnabled(false);
    ui->tableWidgetPJList->clearContents();
    ui->tableWidgetPJList->setRowCount(0);
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());

    QList<QHostAddress> targets;
    const int index = ui->comboBoxNic->currentIndex();
    if (index >= 0) {
        QHostAddress address;
        if (m_nicList->GetIpAddress(index, address))
            targets.append(address);
        QHostAddress broadcast;
        if (m_nicList->GetBroadcast(index, broadcast))
            targets.append(broadcast);
    }
    // A search under way goes on with the new targets; Update comes back when it ends.
    if (!startSearch(targets, int(SRCH_CMD_BROADCAST)))
        ui->pushButtonUpdate->setEnabled(false);
    SearchTimer.start(SEARCH_TIMER_INTERVAL_MS);
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());
    qCDebug(lcUi, "pPJSearchUdp->PJListCount   = %d", pPJSearchUdp->PJListCount());
}

void PJSearchDlg::comboBoxNicCurrentIndexChanged()
{
    NicIndex = ui->comboBoxNic->currentIndex();
    on_pushButtonUpdate_clicked();
}

void PJSearchDlg::on_pushButtonInputAddress_clicked()
{
    const QHostAddress range[2] = {InputStartIp, InputEndIp};
    auto* input = new AddressInput(InputMode, range, this);
    const int result = input->exec();
    const int index = ui->comboBoxNic->currentIndex();
    if (result == QDialog::Accepted && index >= 0) {
        InputIpList.clear();
        QHostAddress own;
        if (m_nicList->GetIpAddress(index, own))
            InputIpList.append(own);

        int mode = InputMode;
        QHostAddress typed[2] = {InputStartIp, InputEndIp};
        input->GetAddress(mode, typed);
        InputMode = mode;
        InputStartIp = typed[0];
        InputEndIp = typed[1];
        qCDebug(lcUi, "Input Start Ip = %s", InputStartIp.toString().toLocal8Bit().constData());
        qCDebug(lcUi, "Input End   Ip = %s", InputEndIp.toString().toLocal8Bit().constData());

        const quint32 first = InputStartIp.toIPv4Address();
        const quint32 last = InputMode == 1 ? InputEndIp.toIPv4Address() : first;
        // Counted on 64 bits so that a range ending at 255.255.255.255 stops there.
        for (quint64 value = first; value <= last; ++value)
            InputIpList.append(QHostAddress(quint32(value)));

        if (!startSearch(InputIpList, int(SRCH_CMD_UNICAST)))
            ui->pushButtonInputAddress->setEnabled(false);
        SearchTimer.start(SEARCH_TIMER_INTERVAL_MS);
    }
    qCDebug(lcUi, "Input  Mode = %d", InputMode);
    delete input;
}

void PJSearchDlg::SearchTimerTimuout()
{
    if (!pPJSearchUdp) {
        SearchTimer.stop();
        return;
    }
    if (pPJSearchUdp->IsSearching()) {
        ++m_searchTimeoutCount;
        if (m_searchTimeoutCount > SEARCH_TIMEOUT_TICKS) {
            pPJSearchUdp->Stop();
            m_searchTimeoutCount = 0;
            qCDebug(lcUi, "#####################SearchTimeout!!");
        }
    }
    if (!pPJSearchUdp->IsSearching()) {
        if (!ui->pushButtonUpdate->isEnabled()) {
            ui->pushButtonUpdate->setEnabled(true);
            ui->pushButtonUpdate->setFocus();
        }
        if (!ui->pushButtonInputAddress->isEnabled()) {
            ui->pushButtonInputAddress->setEnabled(true);
            ui->pushButtonInputAddress->setFocus();
        }
        SearchTimer.stop();
        // A typed single address that did not answer is listed as failed; one that
        // answered is already in the list, and the engine keeps the first entry.
        if (pPJSearchUdp->SearchMode() == int(SRCH_CMD_UNICAST) && InputMode == 0)
            pPJSearchUdp->AddPJListItem(InputStartIp, QString(), FAILED_STATUS);
        qCDebug(lcUi, "@@@Search End!!");
    }
    qCDebug(lcUi, "Search Timeout Count = %d", m_searchTimeoutCount);
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());
    qCDebug(lcUi, "pPJSearchUdp->PJListCount   = %d", pPJSearchUdp->PJListCount());
    appendNewRows();
}

void PJSearchDlg::appendNewRows()
{
    QTableWidget* table = ui->tableWidgetPJList;
    const int rowHeight = QFontMetrics(QApplication::font()).height() + 6;
    for (int i = table->rowCount(); i < pPJSearchUdp->PJListCount(); ++i) {
        PJListItem item;
        if (!pPJSearchUdp->GetPJListItem(i, item))
            continue;
        table->setRowCount(i + 1);
        const QString address = item.Address.toString();
        table->setItem(i, 0, new QTableWidgetItem(item.Name));
        table->setItem(i, 1, new QTableWidgetItem(address));
        table->setItem(i, 2,
                       new QTableWidgetItem(item.Address == CurrentIp && !CurrentIp.isNull()
                                                ? tr("Connected")
                                                : QString()));
        table->setRowHeight(i, rowHeight);
        if (item.Status == FAILED_STATUS) {
            const QBrush grey = table->palette().brush(QPalette::Disabled, QPalette::WindowText);
            for (int column = 0; column < 3; ++column) {
                QTableWidgetItem* cell = table->item(i, column);
                cell->setFlags(cell->flags() & ~Qt::ItemIsEnabled);
                cell->setForeground(grey);
            }
            table->item(i, 2)->setText(tr("Search Failed"));
        }
    }
}

void PJSearchDlg::updateConnectButton()
{
    QTableWidget* table = ui->tableWidgetPJList;
    int selectedRows = 0;
    for (const QModelIndex& index : table->selectionModel()->selectedRows(0)) {
        Q_UNUSED(index);
        ++selectedRows;
    }
    const bool enable = selectedRows == 1;
    if (ui->pushButtonConnect->isEnabled() != enable)
        ui->pushButtonConnect->setEnabled(enable);
}

void PJSearchDlg::on_tableWidgetPJList_itemChanged(QTableWidgetItem*)
{
    updateConnectButton();
}

void PJSearchDlg::onitemClicked(QTableWidgetItem*)
{
    updateConnectButton();
}

void PJSearchDlg::on_pushButtonConnect_clicked()
{
    const QModelIndexList rows = ui->tableWidgetPJList->selectionModel()->selectedRows(0);
    if (rows.size() != 1 || rows.first().row() < 0)
        return;
    const QTableWidgetItem* cell = ui->tableWidgetPJList->item(rows.first().row(), 1);
    if (cell)
        SelectedIpList.append(QHostAddress(cell->text()));
}

void PJSearchDlg::on_pushButtonClose_clicked()
{
    if (pPJSearchUdp)
        pPJSearchUdp->Stop();
    close();
}
