#include "views/InfoDialog.h"

#include "controls/BitmapButton.h"
#include "platform/DialogUnits.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kLogoBitmap = 478;
// Both templates are 264 x 49 dialog units.
constexpr QRect kTemplate(0, 0, 264, 49);

QLabel* AddLine(QDialog* dlg, const QString& text, QRect du)
{
    auto* label = new QLabel(text, dlg);
    label->setGeometry(DialogUnitsToPixels(du, dlg->font()));
    return label;
}

}  // namespace

QString InfoVersionText() { return QStringLiteral("1.0.6") + QStringLiteral("0"); }

QString InfoReleaseText() { return QString::asprintf("%s/%02d/%02d", "2016", 6, 1); }

CAboutBox::CAboutBox(QWidget* parent, const QString& caption, int logoId, int versionId, int releaseId)
    : QDialog(parent), m_strVersion(InfoVersionText()), m_strRelease(InfoReleaseText())
{
    setWindowTitle(caption);
    const QFont f = font();
    setFixedSize(DialogUnitsToPixels(kTemplate, f).size());

    m_btnLogo = new CBitmapButton(this);
    m_btnLogo->setText(QStringLiteral("CI"));
    m_btnLogo->LoadBitmaps(kLogoBitmap, kLogoBitmap, kLogoBitmap, 0);
    m_btnLogo->move(DialogUnitsToPixels(QRect(7, 7, 0, 0), f).topLeft());
    m_btnLogo->SizeToContent();
    m_items[logoId] = m_btnLogo;

    for (auto [id, text] : {std::pair<int, QString>{versionId, m_strVersion}, {releaseId, m_strRelease}}) {
        auto* field = new QLineEdit(text, this);
        field->setReadOnly(true);
        field->hide();
        m_items[id] = field;
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(DialogUnitsToPixels(QRect(207, 28, 50, 14), f));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    m_items[1] = ok;
}

CInfoDialog::CInfoDialog(QWidget* parent)
    : CAboutBox(parent, QString::fromUtf8("소프트웨어 정보"), IDC_LOGO, IDC_VERSION, IDC_RELEASE)
{
    AddLine(this, QStringLiteral("Velmora 21 Viewer"), QRect(88, 12, 170, 10));
}

const char* const CInfoEngDlg::kWebAddress = "https://www.velmora.example/viewer/";

CInfoEngDlg::CInfoEngDlg(QWidget* parent)
    : CAboutBox(parent, QStringLiteral("About Software"), IDC_LOGO, IDC_VERSION, IDC_RELEASE)
{
    AddLine(this, QStringLiteral("VELMORA-21K Viewer v 1.0.8"), QRect(88, 7, 170, 10));
    AddLine(this, QString::fromLatin1(kWebAddress), QRect(88, 17, 170, 10));
    AddLine(this, QStringLiteral("Version : "), QRect(88, 29, 40, 8))->hide();
    AddLine(this, QStringLiteral("Release : "), QRect(88, 38, 40, 8))->hide();
}
