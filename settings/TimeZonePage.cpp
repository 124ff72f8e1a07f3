#include "settings/TimeZonePage.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>

#include "settings/SetupFont.h"

namespace {

const DlgTemplate& Template()
{
    static const DlgTemplate t{7395, 288, 232, {
        {DlgKind::Group, 65534, "Setting GMT", 7, 7, 274, 80},
        {DlgKind::Static, IDC_STATIC, "GMT+", 20, 28, 26, 10},
        {DlgKind::Combo, 1335, "", 48, 26, 60, 150},
        {DlgKind::Static, 1418, "", 20, 52, 250, 24},
    }};
    return t;
}

}  // namespace

CTabFiveDlg::CTabFiveDlg(QWidget* parent) : CSetupPage(Template(), 1)
{
    setParent(parent);
    m_bFilterEnterEsc = true;
}

void CTabFiveDlg::SetLanguage(int language)
{
    m_nLanguage = language;
    // Japanese texts draw with the Japanese CJK face; the metrics stay those of the template.
    const QFont font = SetupDialogFont(language);
    setFont(font);
    for (QWidget* w : findChildren<QWidget*>()) w->setFont(font);
}

void CTabFiveDlg::OnInitDialog()
{
    QComboBox* c = Combo(1335);
    for (int h = 0; h < 24; ++h) c->addItem(QStringLiteral("%1:00").arg(h));
    connect(c, QOverload<int>::of(&QComboBox::activated), this, [this] { OnSelChange(); });
}

void CTabFiveDlg::SetRecord(SetupRecord* record)
{
    m_pRecord = record;
    if (!m_pRecord) return;
    m_nIndex = m_pRecord->Word(SetupWord::kTimeZone);
    QComboBox* c = Combo(1335);
    c->setCurrentIndex(m_nIndex < c->count() ? m_nIndex : -1);
    auto* group = ControlAs<QGroupBox>(65534);
    QWidget* note = Control(1418);
    if (m_nLanguage != 0) {
        group->setTitle(QStringLiteral("Setting GMT"));
        note->hide();
    } else {
        group->setTitle(QString::fromUtf8("時刻設定"));
        if (auto* label = qobject_cast<QLabel*>(note))
            label->setText(QString::fromUtf8("日本時間はGMT+9:00で設定してください。"));
        note->setVisible(true);
    }
}

void CTabFiveDlg::OnSelChange()
{
    QComboBox* c = Combo(1335);
    m_nIndex = c->currentIndex();
    if (m_pRecord && m_nIndex >= 0) m_pRecord->SetWord(SetupWord::kTimeZone, static_cast<std::uint16_t>(m_nIndex));
}
