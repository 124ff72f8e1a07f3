#pragma once
// The recording list window beside the main window: every found recording in a hidden master
// list, the rows whose kind passes the filters in the visible list, sorted by the date and time
// in the file name. It never opens a recording: a click or the close button only raises a
// request flag that the main window's timer polls and clears.
#include <QDialog>
#include <QImage>
#include <QMap>
#include <QPoint>

class CBitmapButton;
class QTreeWidget;

// Filter flags and requests the window owns (bytes, read and cleared by the main window).
extern unsigned char g_bListShowNormal;
extern unsigned char g_bListShowEvent;
extern unsigned char g_bListShowParking;
extern unsigned char g_bListPlayRequest;
extern unsigned char g_bListCloseRequest;

class CListDlg : public QDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 341,
        IDC_LIST_VIEW = 1013,
        IDC_LIST_MASTER = 3014,
        IDC_LIST_WORK = 3015,
        IDC_BTN_CLOSE = 1200,
        IDC_BTN_NORMAL = 1201,
        IDC_BTN_MOTION = 1202,
        IDC_BTN_EVENT = 1205,
        IDC_BTN_MANUAL = 1206,
        IDC_BTN_ALL = 1207,
        IDC_BTN_SORT = 1331,
    };
    // The list columns as the filler writes them.
    enum : int { COL_DATE = 0, COL_TIME = 1, COL_KIND = 2, COL_PATH = 3 };

    explicit CListDlg(QWidget* parent = nullptr);
    ~CListDlg() override;

    // Sets the window up once (skin, buttons, colours, placement, filters); the constructor runs it.
    bool OnInitDialog();

    int RefreshList();
    void SetSelectedIndexPtr(int* p) { m_pnCurrentRow = p; }

    QWidget* GetDlgItem(int id) const;
    QTreeWidget* GetVisibleList() const { return m_listView; }
    QTreeWidget* GetMasterList() const { return m_listMaster; }
    bool IsDescending() const { return m_bDescending != 0; }

    // Row helpers over any of the three lists.
    static int AppendRow(QTreeWidget* list, const QString& date, const QString& time, const QString& kind,
                         const QString& path);
    static int GetItemCount(const QTreeWidget* list);
    static QString GetItemText(const QTreeWidget* list, int row, int column);
    static void DeleteAllItems(QTreeWidget* list);
    // The selection mark of the visible list (-1 without one), and setting it (selects the row).
    int GetSelectionMark() const;
    void SetSelectionMark(int row);

    // The date-and-time key of a recording's path: the first "YYYYMMDD_HHMMSS" stamp of its file
    // name (eight digits, any one other character, six digits), read as
    // YYYYMMDD * 1,000,000 + HHMMSS; 0 for a name without a stamp.
    static qint64 SortKeyFromPath(const QString& path);

    // Handlers.
    void OnBnClickedClose();
    void OnBnClickedNormal();
    void OnBnClickedEvent();
    void OnBnClickedAll();
    void OnBnClickedMotion();
    void OnBnClickedManual();
    void OnBnClickedSortOrder();
    void OnNMClickList();
    void OnNMDblclkList();

public slots:
    // Enter and Escape never close the window.
    void reject() override {}
    void accept() override {}

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QTreeWidget* MakeList(int id);
    CBitmapButton* MakeButton(int id, int normal, int pressed);
    void SetFilterImages(int clicked);

    QTreeWidget* m_listView = nullptr;
    QTreeWidget* m_listMaster = nullptr;
    CBitmapButton* m_btnClose = nullptr;
    CBitmapButton* m_btnNormal = nullptr;
    CBitmapButton* m_btnMotion = nullptr;
    CBitmapButton* m_btnEvent = nullptr;
    CBitmapButton* m_btnManual = nullptr;
    CBitmapButton* m_btnAll = nullptr;
    CBitmapButton* m_btnSortOrder = nullptr;
    QImage m_bmpBackground;
    int* m_pnCurrentRow = nullptr;
    unsigned char m_bDescending = 1;
    QTreeWidget* m_listWork = nullptr;

    QMap<int, QWidget*> m_items;
    QPoint m_ptDrag;
    bool m_bDragging = false;
};
