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

// What both boxes share: their size, the logo button, the hidden version and release fields
// and OK; the caller adds its own lines of text.
CBitmapButton* BuildBox(QDialog* dlg, QMap<int, QWidget*>* items, const QString& caption, int logoId, int versionId,
                        int releaseId, const QString& version, const QString& release)
{
    dlg->setWindowTitle(caption);
    const QFont font = dlg->font();
    dlg->setFixedSize(DialogUnitsToPixels(kTemplate, font).size());

    auto* logo = new CBitmapButton(dlg);
    logo->setText(QStringLiteral("CI"));
    logo->LoadBitmaps(kLogoBitmap, kLogoBitmap, kLogoBitmap, 0);
    logo->move(DialogUnitsToPixels(QRect(7, 7, 0, 0), font).topLeft());
    logo->SizeToContent();
    (*items)[logoId] = logo;

    for (auto [id, text] : {std::pair<int, QString>{versionId, version}, {releaseId, release}}) {
        auto* field = new QLineEdit(text, dlg);
        field->setReadOnly(true);
        field->hide();
        (*items)[id] = field;
    }

    auto* ok = new QPushButton(QStringLiteral("OK"), dlg);
    ok->setGeometry(DialogUnitsToPixels(QRect(207, 28, 50, 14), font));
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    (*items)[1] = ok;
    return logo;
}

QLabel* AddLine(QDialog* dlg, const QString& text, QRect du)
{
    auto* label = new QLabel(text, dlg);
    label->setGeometry(DialogUnitsToPixels(du, dlg->font()));
    return label;
}

}  // namespace

QString InfoVersionText() { return QStringLiteral("1.0.6") + QStringLiteral("0"); }

QString InfoReleaseText() { return QString::asprintf("%s/%02d/%02d", "2016", 6, 1); }

CInfoDialog::CInfoDialog(QWidget* parent)
    : QDialog(parent), m_strVersion(InfoVersionText()), m_strRelease(InfoReleaseText())
{
    m_btnLogo = BuildBox(this, &m_items, QString::fromUtf8("소프트웨어 정보"), IDC_LOGO, IDC_VERSION, IDC_RELEASE,
                         m_strVersion, m_strRelease);
    AddLine(this, QStringLiteral("Velmora 21 Viewer"), QRect(88, 12, 170, 10));
}

const char* const CInfoEngDlg::kWebAddress = "https://www.velmora.example/viewer/";

CInfoEngDlg::CInfoEngDlg(QWidget* parent)
    : QDialog(parent), m_strVersion(InfoVersionText()), m_strRelease(InfoReleaseText())
{
    m_btnLogo = BuildBox(this, &m_items, QStringLiteral("About Software"), IDC_LOGO, IDC_VERSION, IDC_RELEASE,
                         m_strVersion, m_strRelease);
    AddLine(this, QStringLiteral("VELMORA-21K Viewer v 1.0.8"), QRect(88, 7, 170, 10));
    AddLine(this, QString::fromLatin1(kWebAddress), QRect(88, 17, 170, 10));
    AddLine(this, QStringLiteral("Version : "), QRect(88, 29, 40, 8))->hide();
    AddLine(this, QStringLiteral("Release : "), QRect(88, 38, 40, 8))->hide();
}
