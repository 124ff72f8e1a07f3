#pragma once
// The settings editor: five tabs over thirteen pages (four page families in Korean, English and
// Japanese, and one time-zone page) that all edit one working copy of the card's settings
// record. Closing asks whether to save when the record changed and writes it with a fresh
// checksum.
#include "settings/SetupRecord.h"

#include <QDialog>
#include <array>

class QTabBar;
class CSetupPage;

// The tab control: a tab bar across its top and the pages below it as children.
class CSetupTabCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CSetupTabCtrl(QWidget* parent);

    void DeleteAllItems();
    void InsertItem(int index, const QString& text);
    int GetItemCount() const;
    QString GetItemText(int index) const;
    int GetCurSel() const;
    void SetCurSel(int index);   // as the control's own message: no notification
    QTabBar* TabBar() const { return m_bar; }

signals:
    void SelChanging(int current);   // before a user's change; current is the tab being left
    void SelChange(int selected);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;

private:
    QTabBar* m_bar;
    int m_nCur = -1;
    bool m_bQuiet = false;
};

class CNewSetupDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 386;
    static constexpr int IDC_TAB = 1211;
    static constexpr int kPageCount = 13;

    // drive: the card as FindEventDrive gives it ("E:"); language: 0 Japanese, 1 English, 2 Korean.
    CNewSetupDlg(const QString& drive, int language, QWidget* parent = nullptr);
    ~CNewSetupDlg() override;

    int DoModal();
    bool OnInitDialog();
    void ShowTabPage(int language);

    CSetupTabCtrl* TabCtrl() const { return m_tab; }
    CSetupPage* Page(int index) const { return m_pages[static_cast<std::size_t>(index)]; }
    // The page that a tab shows in a language, or -1.
    static int PageForTab(int language, int tab);
    SetupRecord& WorkingRecord() { return m_record; }
    const SetupRecord& LoadedRecord() const { return m_loaded; }
    int Language() const { return m_nLanguage; }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

public slots:
    void done(int result) override;

private:
    void OnSelChanging(int current);
    void OnSelChange(int selected);
    void OnDestroy();
    CSetupPage* TabPage(int language, int tab) const;   // nullptr when none or deleted
    void InsertCaptions(int language);
    void LoadRecord();

    char m_cDrive;
    CSetupTabCtrl* m_tab = nullptr;
    std::array<CSetupPage*, kPageCount> m_pages{};
    SetupRecord m_record;
    SetupRecord m_loaded;
    int m_nLanguage;
    bool m_bInitDone = false;
    bool m_bDestroyed = false;
    // The card's file could not be used and the editor shows the built-in record instead:
    // closing then offers to write it even if nothing was touched.
    bool m_bReplacedFile = false;
};
