#pragma once
// A page of the settings editor built from a dialog template in dialog units. Every page keeps
// a lookup from control id to widget, and a pointer to the editor's working record.
#include "settings/SetupRecord.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QWidget>
#include <map>
#include <vector>

class QButtonGroup;
class QComboBox;
class QSlider;

enum class DlgKind { Group, Static, Radio, Check, Edit, ReadOnlyEdit, Combo, Trackbar, Button, Tab };

// One control of a template: kind, id (-1 for unnamed statics), caption, position and size in
// dialog units, radio group (0 none) and whether the template hides it.
struct DlgItem {
    DlgKind kind;
    int id;
    const char* text;
    int x, y, w, h;
    int group = 0;
    bool hidden = false;
};

struct DlgTemplate {
    int id;
    int width, height;   // dialog units
    std::vector<DlgItem> items;
};

inline constexpr int IDC_STATIC = -1;

// Builds the controls of a template on owner in the given font: each named control goes into
// *controls under its id, each radio into the button group of its group number.
void CreateTemplateControls(QWidget* owner, const DlgTemplate& tmpl, const QFont& font, std::map<int, QWidget*>* controls,
                            std::map<int, QButtonGroup*>* groups);

class CSetupPage : public QWidget {
    Q_OBJECT
public:
    CSetupPage(const DlgTemplate& tmpl, int language, QWidget* parent = nullptr);
    ~CSetupPage() override;

    // Builds the controls as a hidden child of the tab control.
    void Create(QWidget* parent);
    int TemplateId() const { return m_tmpl.id; }
    QWidget* Control(int id) const;
    template <class T> T* ControlAs(int id) const { return qobject_cast<T*>(Control(id)); }
    const SetupRecord* Record() const { return m_pRecord; }
    // Binds the page to the editor's working record and loads its controls from it.
    virtual void SetRecord(SetupRecord* record) { m_pRecord = record; }

protected:
    virtual void OnInitDialog() {}
    void keyPressEvent(QKeyEvent* e) override;

    QAbstractButton* Button(int id) const;
    QLineEdit* Edit(int id) const;
    QComboBox* Combo(int id) const;
    QSlider* Slider(int id) const;
    // Checks the index-th of the given radios; an index outside them leaves all unchecked.
    void CheckRadioIndex(const std::vector<int>& ids, int index);
    void SetChecked(int id, bool on);
    // The texts of the edits as numbers; a text that is no number keeps *value.
    void ReadDouble(int id, double* value) const;
    void ReadInt(int id, int* value) const;
    void SetEditDouble(int id, double value);
    void SetEditInt(int id, int value);
    // Handlers run on the user's clicks and typing only, never when the bind fills a control.
    template <class F> void OnClicked(int id, F f);
    template <class F> void OnEdited(int id, F f);

    SetupRecord* m_pRecord = nullptr;
    int m_nLanguage;
    bool m_bFilterEnterEsc = false;   // the English and Japanese pages swallow Enter and Esc

private:
    const DlgTemplate& m_tmpl;
    std::map<int, QWidget*> m_controls;
    std::map<int, QButtonGroup*> m_groups;
    bool m_bCreated = false;
};

// The two ways the pages toggle a boolean word: 1 -> 0 and anything else -> 1 (recording and
// system pages), or non-zero -> 0 and 0 -> 1 (driver-assistance page).
std::uint16_t ToggleOneZero(std::uint16_t w);
std::uint16_t ToggleNonZero(std::uint16_t w);

template <class F> void CSetupPage::OnClicked(int id, F f)
{
    if (QAbstractButton* b = Button(id)) QObject::connect(b, &QAbstractButton::clicked, this, [f] { f(); });
}

template <class F> void CSetupPage::OnEdited(int id, F f)
{
    if (QLineEdit* e = Edit(id)) QObject::connect(e, &QLineEdit::textEdited, this, [f] { f(); });
}
