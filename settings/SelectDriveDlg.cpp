#include "settings/SelectDriveDlg.h"

#include "platform/DialogUnits.h"
#include "platform/DriveTable.h"
#include "platform/MessageBox.h"
#include "settings/SetupFont.h"
#include "settings/SetupPage.h"

#include <QAbstractButton>
#include <QComboBox>
#include <algorithm>
#include <utility>

namespace {

const DlgTemplate kTemplate{CSelectDriveDlg::kTemplateId, 179, 72, {
    {DlgKind::Static, IDC_STATIC, "블랙박스에 사용되는 드라이브를 선택하세요.", 12, 10, 160, 10},
    {DlgKind::Static, IDC_STATIC, "드라이브:", 12, 31, 36, 10},
    {DlgKind::Combo, CSelectDriveDlg::IDC_COMBO_DRIVE, "", 50, 29, 117, 60},
    {DlgKind::Button, IDOK, "확인", 64, 51, 50, 14},
}};

CSelectDriveDlg::DriveSource& Source()
{
    static CSelectDriveDlg::DriveSource source;
    return source;
}

}  // namespace

CSelectDriveDlg::CSelectDriveDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("드라이브 선택"));
    const QFont font = SetupDialogFont(2);
    setFont(font);
    setFixedSize(DialogUnitsToPixels(QRect(0, 0, kTemplate.width, kTemplate.height), font).size());
    std::map<int, class QButtonGroup*> groups;
    CreateTemplateControls(this, kTemplate, font, &m_controls, &groups);
    m_comboDrive = qobject_cast<QComboBox*>(GetDlgItem(IDC_COMBO_DRIVE));
    m_comboDrive->setEditable(true);   // a drop-down combo: the text may also be typed
    auto* ok = qobject_cast<QAbstractButton*>(GetDlgItem(IDOK));
    connect(ok, &QAbstractButton::clicked, this, &CSelectDriveDlg::OnBnClickedOk);
}

QWidget* CSelectDriveDlg::GetDlgItem(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

CSelectDriveDlg::DriveSource CSelectDriveDlg::SetDriveSource(DriveSource source)
{
    return std::exchange(Source(), std::move(source));
}

std::vector<LogicalDrive> CSelectDriveDlg::SystemDrives()
{
    std::vector<LogicalDrive> drives{{QLatin1Char('C'), DriveTable::DRIVE_FIXED}};
    for (const DriveInfo& d : DriveTable::Drives())
        drives.push_back({d.letter, DriveTable::GetDriveType(QString(d.letter) + QLatin1Char(':'))});
    return drives;
}

bool CSelectDriveDlg::OnInitDialog()
{
    m_bInitDone = true;
    std::vector<LogicalDrive> drives = Source() ? Source()() : SystemDrives();
    std::sort(drives.begin(), drives.end(), [](const LogicalDrive& a, const LogicalDrive& b) { return a.letter < b.letter; });
    QStringList items;
    for (const LogicalDrive& d : drives) {
        if (d.type == DriveTable::DRIVE_REMOVABLE) items << QString(d.letter) + QStringLiteral(":\\ SD CARD");
        else if (d.type == DriveTable::DRIVE_FIXED) items << QString(d.letter) + QStringLiteral(":\\ HDD");
    }
    items.sort();   // the combo keeps its items sorted
    m_comboDrive->clear();
    m_comboDrive->addItems(items);
    if (items.isEmpty()) {
        m_bCancelled = true;
        reject();
        return true;
    }
    m_comboDrive->setCurrentIndex(0);
    return true;
}

void CSelectDriveDlg::OnBnClickedOk()
{
    m_strDrive = m_comboDrive->currentText();
    accept();
}

int CSelectDriveDlg::DoModal()
{
    if (!m_bInitDone) OnInitDialog();
    if (m_bCancelled) return IDCANCEL;
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
