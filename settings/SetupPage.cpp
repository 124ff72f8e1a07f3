#include "settings/SetupPage.h"

#include "platform/DialogUnits.h"
#include "settings/SetupFont.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>

namespace {

// The templates write their captions by the dialog-resource rule ("&&" is one '&') and give no
// control a shortcut key, so a lone '&' ("Beep & Watch") is a plain '&' as well.
QString ShownCaption(const QString& text)
{
    QString out = text;
    return out.replace(QLatin1String("&&"), QLatin1String("&"));
}

// Buttons and group boxes read '&' as a shortcut mark: each '&' they show is doubled.
QString ButtonCaption(const QString& text)
{
    return ShownCaption(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

}  // namespace

void CreateTemplateControls(QWidget* owner, const DlgTemplate& tmpl, const QFont& font, std::map<int, QWidget*>* controls,
                            std::map<int, QButtonGroup*>* groups)
{
    for (const DlgItem& item : tmpl.items) {
        const QString text = QString::fromUtf8(item.text);
        QWidget* w = nullptr;
        switch (item.kind) {
        case DlgKind::Group: {
            auto* g = new QGroupBox(ButtonCaption(text), owner);
            g->lower();
            w = g;
            break;
        }
        case DlgKind::Static: w = new QLabel(ShownCaption(text), owner); break;
        case DlgKind::Radio: {
            auto* r = new QRadioButton(ButtonCaption(text), owner);
            if (item.group) {
                QButtonGroup*& group = (*groups)[item.group];
                if (!group) group = new QButtonGroup(owner);
                group->addButton(r);
            }
            w = r;
            break;
        }
        case DlgKind::Check: w = new QCheckBox(ButtonCaption(text), owner); break;
        case DlgKind::Edit: w = new QLineEdit(text, owner); break;
        case DlgKind::ReadOnlyEdit: {
            auto* e = new QLineEdit(text, owner);
            e->setReadOnly(true);
            w = e;
            break;
        }
        case DlgKind::Combo: {
            auto* c = new QComboBox(owner);
            c->setMaxVisibleItems(12);
            w = c;
            break;
        }
        case DlgKind::Button: w = new QPushButton(ButtonCaption(text), owner); break;
        case DlgKind::Tab: w = new QTabWidget(owner); break;
        case DlgKind::Trackbar: {
            auto* s = new QSlider(Qt::Horizontal, owner);
            s->setTickPosition(QSlider::TicksBelow);
            w = s;
            break;
        }
        }
        QRect rect = DialogUnitsToPixels(QRect(item.x, item.y, item.w, item.h), font);
        // A combo's template height includes its drop-down list; the box itself is one line.
        if (item.kind == DlgKind::Combo) rect.setHeight(DialogUnitsToPixelsY(14, font));
        w->setGeometry(rect);
        w->setFont(font);
        if (item.hidden) w->hide();
        if (item.id != IDC_STATIC) {
            w->setObjectName(QString::number(item.id));
            (*controls)[item.id] = w;
        }
    }
    // Groups drawn below their contents.
    for (QGroupBox* g : owner->findChildren<QGroupBox*>(QString(), Qt::FindDirectChildrenOnly)) g->lower();
}

CSetupPage::CSetupPage(const DlgTemplate& tmpl, int language, QWidget* parent)
    : QWidget(parent), m_nLanguage(language), m_tmpl(tmpl)
{
    hide();
}

CSetupPage::~CSetupPage() = default;

void CSetupPage::Create(QWidget* parent)
{
    if (m_bCreated) return;
    m_bCreated = true;
    setParent(parent);
    hide();
    const QFont font = SetupDialogFont(m_nLanguage);
    setFont(font);
    resize(DialogUnitsToPixels(QRect(0, 0, m_tmpl.width, m_tmpl.height), font).size());
    setObjectName(QStringLiteral("page%1").arg(m_tmpl.id));

    CreateTemplateControls(this, m_tmpl, font, &m_controls, &m_groups);
    OnInitDialog();
}

QWidget* CSetupPage::Control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void CSetupPage::keyPressEvent(QKeyEvent* e)
{
    if (m_bFilterEnterEsc && (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Escape)) {
        e->accept();
        return;
    }
    QWidget::keyPressEvent(e);
}

QAbstractButton* CSetupPage::Button(int id) const { return ControlAs<QAbstractButton>(id); }
QLineEdit* CSetupPage::Edit(int id) const { return ControlAs<QLineEdit>(id); }
QComboBox* CSetupPage::Combo(int id) const { return ControlAs<QComboBox>(id); }
QSlider* CSetupPage::Slider(int id) const { return ControlAs<QSlider>(id); }

void CSetupPage::CheckRadioIndex(const std::vector<int>& ids, int index)
{
    QButtonGroup* group = nullptr;
    for (int id : ids) {
        if (QAbstractButton* b = Button(id)) {
            group = b->group();
            break;
        }
    }
    if (group) group->setExclusive(false);
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (QAbstractButton* b = Button(ids[i])) b->setChecked(static_cast<int>(i) == index);
    if (group) group->setExclusive(true);
}

void CSetupPage::SetChecked(int id, bool on)
{
    if (QAbstractButton* b = Button(id)) b->setChecked(on);
}

void CSetupPage::ReadDouble(int id, double* value) const
{
    if (QLineEdit* e = Edit(id)) {
        bool ok = false;
        const double v = e->text().trimmed().toDouble(&ok);
        if (ok) *value = v;
    }
}

void CSetupPage::ReadInt(int id, int* value) const
{
    if (QLineEdit* e = Edit(id)) {
        bool ok = false;
        const int v = e->text().trimmed().toInt(&ok);
        if (ok) *value = v;
    }
}

void CSetupPage::SetEditDouble(int id, double value)
{
    if (QLineEdit* e = Edit(id)) e->setText(QString::number(value, 'g', 15));
}

void CSetupPage::SetEditInt(int id, int value)
{
    if (QLineEdit* e = Edit(id)) e->setText(QString::number(value));
}

std::uint16_t ToggleOneZero(std::uint16_t w) { return w == 1 ? 0 : 1; }
std::uint16_t ToggleNonZero(std::uint16_t w) { return w != 0 ? 0 : 1; }
