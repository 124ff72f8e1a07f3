// The list window's visible list as the playback commands read and select it.
#include "app/SamplePlayerDlg.h"

#include "views/ListDlg.h"

#include <QTreeWidget>

int CSamplePlayerDlg::ListRowCount() const
{
    return m_pListDlg ? CListDlg::GetItemCount(m_pListDlg->GetVisibleList()) : 0;
}

int CSamplePlayerDlg::ListSelectionMark() const { return m_pListDlg ? m_pListDlg->GetSelectionMark() : -1; }

int CSamplePlayerDlg::ListFirstSelected() const
{
    if (!m_pListDlg) return -1;
    const QTreeWidget* list = m_pListDlg->GetVisibleList();
    for (int row = 0; row < list->topLevelItemCount(); ++row)
        if (list->topLevelItem(row)->isSelected()) return row;
    return -1;
}

QString CSamplePlayerDlg::ListRowText(int row, int column) const
{
    return m_pListDlg ? CListDlg::GetItemText(m_pListDlg->GetVisibleList(), row, column) : QString();
}

void CSamplePlayerDlg::ListSelectOnly(int row)
{
    if (!m_pListDlg) return;
    m_pListDlg->GetVisibleList()->clearSelection();
    m_pListDlg->SetSelectionMark(row);
}
