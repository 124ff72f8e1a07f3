#pragma once
// The repair dialog (template 228): method 1 checks and rewraps an MPEG-4 recording with the
// built-in decoder, method 2 rewraps an H.264 recording with ffmpeg, method 3 starts the
// separate repair program.
#include <QDialog>
#include <QString>
#include <map>

class QAbstractButton;

// Which method was chosen last; they outlive the dialog and are never reset.
extern int g_bRepairMethodMp4v;
extern int g_bRepairMethodH264;
extern int g_bRepairMethod3;
extern int g_bRepairChoiceMade;

inline constexpr int IDD_RECOVERY = 228;
inline constexpr int IDC_RECOVERY_OPEN = 1120;
inline constexpr int IDC_RECOVERY_MP4V = 1139;
inline constexpr int IDC_RECOVERY_H264 = 1140;
inline constexpr int IDC_RECOVERY_RECOVER = 1141;
inline constexpr int IDC_RECOVERY_METHOD3 = 1142;   // a command with no control
inline constexpr int IDC_RECOVERY_PROGRAM = 1143;

class CRecovery : public QDialog {
    Q_OBJECT
public:
    explicit CRecovery(QWidget* parent = nullptr);
    ~CRecovery() override;

    QWidget* Control(int id) const;
    QAbstractButton* Button(int id) const;
    const QString& File() const { return m_strFile; }
    // True while a repair runs (the dialog is disabled meanwhile).
    bool IsBusy() const { return m_bBusy; }

    void OnBnClickedOpen();
    void OnBnClickedMp4v();
    void OnBnClickedH264();
    void OnBnClickedMethod3();
    void OnRecover();
    void OnBnClickedRepairProgram();
    void OnOK();

private:
    void Message(const QString& text);
    void RunMp4vRepair();
    void RunH264Repair();

    QString m_strFile;
    std::map<int, QWidget*> m_controls;
    bool m_bBusy = false;
};
