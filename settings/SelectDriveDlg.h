#pragma once
// The drive picker: the removable and fixed drives of the machine in a combo box, for the
// user to say which one holds the camera's recordings. After IDOK the caller reads the chosen
// item, such as "E:\ SD CARD"; its first three characters are the drive's root.
#include <QChar>
#include <QDialog>
#include <QString>
#include <functional>
#include <map>
#include <vector>

class QComboBox;

struct LogicalDrive {
    QChar letter;
    int type;   // DriveTable::DRIVE_REMOVABLE, DRIVE_FIXED, ...
};

class CSelectDriveDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 130;
    static constexpr int IDC_COMBO_DRIVE = 3024;

    explicit CSelectDriveDlg(QWidget* parent = nullptr);

    // IDOK or IDCANCEL; a machine without a removable or fixed drive cancels at once.
    int DoModal();
    bool OnInitDialog();
    void OnBnClickedOk();
    QWidget* GetDlgItem(int id) const;

    QComboBox* m_comboDrive = nullptr;
    QString m_strDrive;   // the combo's text, read when the user confirms

    // The machine's drives: the system's root as C: (fixed) and the drive table's volumes.
    static std::vector<LogicalDrive> SystemDrives();
    // Replaces where the drives come from (tests); an empty source restores the system's.
    using DriveSource = std::function<std::vector<LogicalDrive>()>;
    static DriveSource SetDriveSource(DriveSource source);

private:
    std::map<int, QWidget*> m_controls;
    bool m_bCancelled = false;
    bool m_bInitDone = false;
};
