#include "ui/pjsearchdlg.h"

#include "core/logging.h"
#include "ui/adapterdescriptions.h"
#include "ui/addressinput.h"
#include "ui/commonlib.h"
#include "ui/dialogsupport.h"
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
    : QDialog(parent), m_engine(appFlag), ui(new Ui::PJSearchDlg)
{
    ui->setupUi(this);
    CommonLib().SetChildWidgetFont(this, CommonLib::translatedFont("PJSearchDlg"));
    setWindowTitle(tr("Projector List"));
    setWindowFlags(DialogWindowFlags);

    CurrentIp = currentIp;
    InputMode = inputMode;
    InputStartIp = inputRange[0];
    InputEndIp = inputRange[1];

    ui->pushButtonConnect->setEnabled(false);
    SearchTimer.setSingleShot(true);
    SearchTimer.setInterval(SEARCH_TIMEOUT_MS);
    connect(&SearchTimer, &QTimer::timeout, this, &PJSearchDlg::SearchTimerTimuout);
    connect(&m_engine, &PJSearchUdp::found, this, &PJSearchDlg::appendNewRows);
    connect(&m_engine, &PJSearchUdp::finished, this, &PJSearchDlg::searchFinished);

    const std::unique_ptr<AdapterDescriptions> adapters = AdapterDescriptions::create();
    for (int i = 0; i < m_nicList.Count(); ++i) {
        QString text;
        QString systemName;
        m_nicList.GetDisplayName(i, text);
        if (m_nicList.GetName(i, systemName)) {
            NicNameList.append(systemName);
            const QString description = adapters->description(systemName);
            if (!description.isEmpty())
                text = description;
        }
        ui->comboBoxNic->addItem(text);
    }
    NicIndex = ui->comboBoxNic->currentIndex();
    // Connected only now, so that filling the box starts no search.
    connect(ui->comboBoxNic, &QComboBox::currentIndexChanged, this,
            &PJSearchDlg::comboBoxNicCurrentIndexChanged);
    setUpTable();
}

PJSearchDlg::~PJSearchDlg()
{
    SearchTimer.stop();
    delete ui;
}

void PJSearchDlg::setUpTable()
{
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
    // The columns share the table's width: at 150, 130 and 100 pixels they would run past
    // its 331 pixels and hide the status behind a scroll bar.
    table->setColumnWidth(0, kNameColumnWidth);
    table->setColumnWidth(1, kAddressColumnWidth);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(table, &QTableWidget::itemClicked, this, &PJSearchDlg::onitemClicked);
    connect(table, &QTableWidget::itemDoubleClicked, this, &PJSearchDlg::onitemClicked);
}

QString PJSearchDlg::GetNicName(int index) const
{
    return NicNameList.value(index);
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

bool PJSearchDlg::searchStarted(PJSearchUdp::Start start)
{
    switch (start) {
    case PJSearchUdp::Start::Started:
        SearchTimer.start();
        return true;
    case PJSearchUdp::Start::NoInterface:
        qCDebug(lcUi, "Start Error!!");
        searchFinished();
        return true;
    case PJSearchUdp::Start::Retargeted:
        break;
    }
    return false;
}

void PJSearchDlg::on_pushButtonUpdate_clicked()
{
    ui->pushButtonConnect->setEnabled(false);
    ui->tableWidgetPJList->clearContents();
    ui->tableWidgetPJList->setRowCount(0);
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());

    const int index = ui->comboBoxNic->currentIndex();
    QHostAddress own;
    QHostAddress broadcast;
    m_nicList.GetIpAddress(index, own);
    m_nicList.GetBroadcast(index, broadcast);
    // A search under way goes on with the new targets; Update comes back when it ends, and
    // the table shows again what it has found so far.
    if (!searchStarted(m_engine.searchBroadcast(own, broadcast))) {
        ui->pushButtonUpdate->setEnabled(false);
        appendNewRows();
    }
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());
    qCDebug(lcUi, "pPJSearchUdp->PJListCount   = %d", int(m_engine.items().size()));
}

void PJSearchDlg::comboBoxNicCurrentIndexChanged()
{
    NicIndex = ui->comboBoxNic->currentIndex();
    on_pushButtonUpdate_clicked();
}

void PJSearchDlg::on_pushButtonInputAddress_clicked()
{
    const QHostAddress range[2] = {InputStartIp, InputEndIp};
    AddressInput input(InputMode, range, this);
    const int result = input.exec();
    const int index = ui->comboBoxNic->currentIndex();
    if (result == QDialog::Accepted && index >= 0) {
        QHostAddress own;
        m_nicList.GetIpAddress(index, own);
        QHostAddress typed[2] = {InputStartIp, InputEndIp};
        input.GetAddress(InputMode, typed);
        InputStartIp = typed[0];
        InputEndIp = typed[1];
        qCDebug(lcUi, "Input Start Ip = %s", qUtf8Printable(InputStartIp.toString()));
        qCDebug(lcUi, "Input End   Ip = %s", qUtf8Printable(InputEndIp.toString()));

        const bool single = InputMode == AddressInput::ModeSingle;
        // A single typed address that does not answer is listed as failed.
        if (!searchStarted(m_engine.searchAddresses(own, InputStartIp,
                                                    single ? InputStartIp : InputEndIp, single)))
            ui->pushButtonInputAddress->setEnabled(false);
    }
    qCDebug(lcUi, "Input  Mode = %d", InputMode);
}

void PJSearchDlg::SearchTimerTimuout()
{
    qCDebug(lcUi, "#####################SearchTimeout!!");
    m_engine.Stop();
}

void PJSearchDlg::searchFinished()
{
    SearchTimer.stop();
    if (!ui->pushButtonUpdate->isEnabled()) {
        ui->pushButtonUpdate->setEnabled(true);
        ui->pushButtonUpdate->setFocus();
    }
    if (!ui->pushButtonInputAddress->isEnabled()) {
        ui->pushButtonInputAddress->setEnabled(true);
        ui->pushButtonInputAddress->setFocus();
    }
    qCDebug(lcUi, "@@@Search End!!");
    qCDebug(lcUi, "tableWidgetPJList->rowCount = %d", ui->tableWidgetPJList->rowCount());
    qCDebug(lcUi, "pPJSearchUdp->PJListCount   = %d", int(m_engine.items().size()));
}

void PJSearchDlg::appendNewRows()
{
    QTableWidget* table = ui->tableWidgetPJList;
    const QList<PJListItem>& items = m_engine.items();
    const int rowHeight = QFontMetrics(QApplication::font()).height() + 6;
    for (int i = table->rowCount(); i < items.size(); ++i) {
        const PJListItem& item = items[i];
        table->setRowCount(i + 1);
        const bool current = item.Address == CurrentIp && !CurrentIp.isNull();
        table->setItem(i, 0, new QTableWidgetItem(item.Name));
        table->setItem(i, 1, new QTableWidgetItem(item.Address.toString()));
        table->setItem(i, 2, new QTableWidgetItem(current ? tr("Connected") : QString()));
        table->setRowHeight(i, rowHeight);
        if (item.Status == PJSearchUdp::FAILED_STATUS) {
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
    const bool enable = ui->tableWidgetPJList->selectionModel()->selectedRows(0).size() == 1;
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
    if (rows.size() != 1)
        return;
    if (const QTableWidgetItem* cell = ui->tableWidgetPJList->item(rows.first().row(), 1))
        SelectedIpList.append(QHostAddress(cell->text()));
}

void PJSearchDlg::on_pushButtonClose_clicked()
{
    m_engine.Stop();
    close();
}
