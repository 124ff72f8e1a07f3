#pragma once
// The about boxes of the INFO command: CInfoDialog in Korean, CInfoEngDlg for the other
// languages. Each shows the program's name, the logo (bitmap 478) and keeps the version and
// release texts in hidden read-only fields; OK closes it.
#include <QDialog>
#include <QMap>
#include <QString>

class CBitmapButton;

// "1.0.60" and "2016/06/01", as both boxes carry them.
QString InfoVersionText();
QString InfoReleaseText();

// What both boxes hold: the two texts bound to their hidden fields and the logo button.
class CAboutBox : public QDialog {
    Q_OBJECT
public:
    QWidget* GetDlgItem(int id) const { return m_items.value(id, nullptr); }

    QString m_strVersion;
    QString m_strRelease;
    CBitmapButton* m_btnLogo = nullptr;

protected:
    // Sizes the box, adds the logo, the hidden fields and OK.
    CAboutBox(QWidget* parent, const QString& caption, int logoId, int versionId, int releaseId);
    QMap<int, QWidget*> m_items;
};

class CInfoDialog : public CAboutBox {
    Q_OBJECT
public:
    enum : int { IDD = 382, IDC_LOGO = 2, IDC_VERSION = 1336, IDC_RELEASE = 1337 };
    explicit CInfoDialog(QWidget* parent = nullptr);
};

class CInfoEngDlg : public CAboutBox {
    Q_OBJECT
public:
    enum : int { IDD = 7394, IDC_VERSION = 1096, IDC_RELEASE = 1097, IDC_LOGO = 1338 };
    explicit CInfoEngDlg(QWidget* parent = nullptr);

    // The web address the box names: the viewer's own project page.
    static const char* const kWebAddress;
};
