#include "ui/pjsearch.h"

#include "core/logging.h"
#include "ui/pjsearchdlg.h"

#include <memory>

PJSearch::PJSearch(QObject* parent) : QObject(parent)
{
}

PJSearch::~PJSearch() = default;

int PJSearch::SelectIpList(quint32 appFlag, const QHostAddress& currentIp, int mode,
                           const QHostAddress range[2], QWidget* parent)
{
    m_mode = mode;
    m_range[0] = range[0];
    m_range[1] = range[1];
    auto dialog = std::make_unique<PJSearchDlg>(appFlag, currentIp, m_mode, m_range, parent);
    m_dialog = dialog.get();
    dialog->BeginSearch();
    const int result = dialog->exec();
    if (result == 1) {
        m_selectedIpList = dialog->GetSelectedIpList();
        for (const QHostAddress& address : std::as_const(m_selectedIpList))
            qCDebug(lcUi, "SelectIpList = %s", address.toString().toLocal8Bit().constData());
        m_adapterName = dialog->GetNicName(dialog->GetNicIndex());
    }
    dialog->GetInputAddress(m_mode, m_range);
    m_dialog = nullptr;
    return result;
}

void PJSearch::GetInputAddress(int& mode, QHostAddress range[2]) const
{
    mode = m_mode;
    range[0] = m_range[0];
    range[1] = m_range[1];
}
