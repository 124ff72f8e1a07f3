#include "repair/Recovery.h"

#include "platform/DialogUnits.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "repair/H264Batch.h"
#include "repair/Mp4vRepair.h"
#include "repair/RepairPaths.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>

#include <thread>

int g_bRepairMethodMp4v = 0;
int g_bRepairMethodH264 = 0;
int g_bRepairMethod3 = 0;
int g_bRepairChoiceMade = 0;

namespace {

enum class Kind { Group, Radio, Push };

struct Item {
    Kind kind;
    int id;  // -1: no id
    const char* text;
    int x, y, w, h;
};

// Template 228, in dialog units.
constexpr int kWidthDu = 261;
constexpr int kHeightDu = 90;
const Item kItems[] = {
    {Kind::Group, -1, "Method 1", 5, 7, 63, 35},
    {Kind::Radio, IDC_RECOVERY_MP4V, "MP4V", 20, 21, 33, 10},
    {Kind::Group, -1, "Method 2", 70, 7, 184, 35},
    {Kind::Radio, IDC_RECOVERY_H264, "H.264", 80, 22, 35, 8},
    {Kind::Push, IDC_RECOVERY_OPEN, "open", 125, 15, 62, 14},
    {Kind::Push, IDC_RECOVERY_RECOVER, "Recovery ", 189, 15, 62, 14},
    {Kind::Group, -1, "Method 3", 0, 45, 254, 38},
    {Kind::Push, IDC_RECOVERY_PROGRAM, "Recovery", 189, 60, 62, 14},
};

// "MS Shell Dlg" 8: Liberation Sans has the Windows face's metrics.
QFont DialogFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSize(8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

void SetMethod(int mp4v, int h264, int method3)
{
    g_bRepairMethodMp4v = mp4v;
    g_bRepairMethodH264 = h264;
    g_bRepairMethod3 = method3;
    g_bRepairChoiceMade = 1;
}

}  // namespace

CRecovery::CRecovery(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("영상 복원"));
    const QFont font = DialogFont();
    setFont(font);
    setFixedSize(DialogUnitsToPixels(QRect(0, 0, kWidthDu, kHeightDu), font).size());

    for (const Item& item : kItems) {
        QWidget* w = nullptr;
        const QString text = QString::fromLatin1(item.text);
        switch (item.kind) {
        case Kind::Group: w = new QGroupBox(text, this); break;
        case Kind::Radio: w = new QRadioButton(text, this); break;
        case Kind::Push: {
            auto* button = new QPushButton(text, this);
            button->setAutoDefault(false);  // Enter must not start a repair
            w = button;
            break;
        }
        }
        w->setFont(font);
        w->setGeometry(DialogUnitsToPixels(QRect(item.x, item.y, item.w, item.h), font));
        if (item.id >= 0) m_controls[item.id] = w;
    }

    connect(Button(IDC_RECOVERY_OPEN), &QAbstractButton::clicked, this, [this] { OnBnClickedOpen(); });
    connect(Button(IDC_RECOVERY_MP4V), &QAbstractButton::clicked, this, [this] { OnBnClickedMp4v(); });
    connect(Button(IDC_RECOVERY_H264), &QAbstractButton::clicked, this, [this] { OnBnClickedH264(); });
    connect(Button(IDC_RECOVERY_RECOVER), &QAbstractButton::clicked, this, [this] { OnRecover(); });
    connect(Button(IDC_RECOVERY_PROGRAM), &QAbstractButton::clicked, this, [this] { OnBnClickedRepairProgram(); });
}

CRecovery::~CRecovery() = default;

QWidget* CRecovery::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QAbstractButton* CRecovery::Button(int id) const { return qobject_cast<QAbstractButton*>(Control(id)); }

// The dialog's own caption titles its boxes, so none comes up without a title.
void CRecovery::Message(const QString& text) { ShowMessageBox(this, text, windowTitle(), MB_OK); }

void CRecovery::OnOK() { hide(); }

void CRecovery::OnBnClickedOpen()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::OpenOne;
    const QStringList chosen = RunFileDialog(request);
    if (!chosen.isEmpty() && !chosen.first().isEmpty()) m_strFile = chosen.first();
    g_bRepairChoiceMade = 1;
}

void CRecovery::OnBnClickedMp4v() { SetMethod(1, 0, 0); }
void CRecovery::OnBnClickedH264() { SetMethod(0, 1, 0); }
void CRecovery::OnBnClickedMethod3() { SetMethod(0, 0, 1); }

void CRecovery::OnRecover()
{
    if (m_bBusy) return;
    if (g_bRepairChoiceMade != 1) {
        Message(QStringLiteral("Select File!!!"));
        return;
    }
    if (g_bRepairMethodMp4v == 1)
        RunMp4vRepair();
    else if (g_bRepairMethodH264 == 1)
        RunH264Repair();
    // Method 3 has its own button.
}

void CRecovery::RunMp4vRepair()
{
    // The repair reads and decodes the whole file: it runs beside the event loop so the
    // windows keep painting; its messages are shown, in order, once it is done.
    const QString in = m_strFile;
    const QString out = g_strRepairOutput;
    QStringList messages;
    int result = 1;
    m_bBusy = true;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QEventLoop loop;
    std::thread worker([&] {
        result = RepairMp4v(in, out, 30, [&messages](const QString& text) { messages << text; });
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    m_bBusy = false;

    for (const QString& text : messages) Message(text);
    OnOK();
    if (result == 0) Message(QStringLiteral("Recovery VGA!!!"));
}

void CRecovery::RunH264Repair()
{
    // ffmpeg runs beside the event loop; a box that no other window gets past shows how
    // far it got. The messages come once it is done, then the dialog closes.
    QStringList messages;
    m_bBusy = true;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int result = 1;
    {
        QProgressDialog progress(QStringLiteral("Recovery ") + QFileInfo(m_strFile).fileName(), QString(), 0, 100, this);
        progress.setWindowTitle(windowTitle());
        progress.setWindowModality(Qt::ApplicationModal);
        progress.setCancelButton(nullptr);
        progress.setAutoClose(false);
        progress.setAutoReset(false);
        progress.setMinimumDuration(0);
        progress.setValue(0);
        result = MakeH264Batch(m_strFile, [&messages](const QString& text) { messages << text; },
                               [&progress](int percent) { progress.setValue(percent); });
    }
    QApplication::restoreOverrideCursor();
    setEnabled(true);
    m_bBusy = false;

    for (const QString& text : messages) Message(text);
    OnOK();
    if (result == 0) Message(QStringLiteral("Recovery H.264_1!!!"));
}

void CRecovery::OnBnClickedRepairProgram()
{
    const QString program = FindRepairProgram();
    if (program.isEmpty())
        Message(QStringLiteral("Error : ClipMender is not installed"));
    else if (!QProcess::startDetached(program, {}))
        Message(QStringLiteral("Error : can't start ") + program);
    OnOK();
}
