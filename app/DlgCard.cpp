// Finding the card and its recordings: SD open, the folder search and the recording table.
#include "app/CardGlobals.h"
#include "app/SamplePlayerDlg.h"

#include "media/RecordingNames.h"
#include "platform/DriveTable.h"
#include "platform/FileAccess.h"
#include "platform/MessageBox.h"
#include "settings/CardFiles.h"
#include "settings/SetupCommand.h"
#include "settings/SetupTexts.h"
#include "views/ListDlg.h"
#include "views/RecordingTable.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTreeWidget>

QString g_strCardDrive;

namespace {

// Kinds of the folders directly below the card's root whose recordings are listed; the
// camera writes these spellings only, so the test is case-sensitive.
bool IsRecordingKind(const QString& kind)
{
    static const char* const kKinds[] = {"Event", "Normal", "Parking", "EVENT", "NORMAL", "PARKING"};
    for (const char* k : kKinds)
        if (kind == QLatin1String(k)) return true;
    return false;
}

struct Search {
    QString root;             // the drive's native root, cleaned
    QString canonicalRoot;    // the same with every link resolved
    QTreeWidget* view = nullptr;
    QTreeWidget* master = nullptr;
    QSet<QString> visited;    // canonical folders already searched: a link back up ends there
};

bool InsideFolder(const QString& folder, const QString& root)
{
    return root == QLatin1String("/") || folder == root || folder.startsWith(root + QLatin1Char('/'));
}

// Entries are read by the bytes the system gives, so a name that is not valid in its encoding
// is listed too and opens again by the same bytes.
void SearchFolder(Search& s, const QString& dir)
{
    const QString canonical = CanonicalFolder(dir);
    if (canonical.isEmpty() || s.visited.contains(canonical)) return;
    // A link that leads off the card (up to the system's own folders, say) is not followed:
    // what lies there is not on the card.
    if (!InsideFolder(canonical, s.canonicalRoot)) return;
    s.visited.insert(canonical);

    const QString base = QDir::cleanPath(dir);
    for (const FolderEntry& e : ListFolder(dir)) {
        const QString path = base + QLatin1Char('/') + e.name;
        if (e.folder) {
            SearchFolder(s, path);
            continue;
        }
        const QString& name = e.name;
        if (!HasRecordingExtension(name)) continue;
        // The kind is the first component below the drive's root, at any depth.
        const QString relative = QDir(s.root).relativeFilePath(path);
        const int slash = relative.indexOf(QLatin1Char('/'));
        const QString kind = slash < 0 ? QString() : relative.left(slash);
        if (!IsRecordingKind(kind)) continue;

        const QString date = StampDate(name);
        const QString time = StampTime(name);
        const int k = CListDlg::GetItemCount(s.view);
        CListDlg::AppendRow(s.view, date, time, kind, path);
        CListDlg::AppendRow(s.master, date, time, kind, path);

        RecordingRecord record;
        record.m_strPath = path;
        QString dateTime;
        SplitRecordingName(path, &dateTime, &record.m_strField2, &record.m_strField3, &record.m_strField4,
                           &record.m_strLast);
        record.m_strDateTime = StampDateTime(dateTime);
        // Past the table's end the row is still listed (and plays from its path); the table
        // keeps its first entries.
        StoreRecording(k, record);
    }
}

}  // namespace

void CSamplePlayerDlg::OnBnClickedSdOpen()
{
    m_bReopen = 0;
    m_nFrontPane = kPaneLarge;
    m_nRearPane = kPaneHidden;

    QString drive;
    if (!FindEventDrive(&drive)) {
        const QString text = ByLanguageOrEnglish(m_nLanguage, "카르벤 SD 카드가 없습니다.", "There is no device SD card.",
                                                 "SDカードを認識できません。");
        ShowMessageBox(this, text, TitleOrEnglish(m_nLanguage), MB_OK);
        return;
    }
    m_strCardPath = drive;
    g_strCardDrive = drive + QLatin1Char('\\');

    // Firmware whose factory file is too short writes recordings this viewer does not read.
    DeviceFactoryRecord factory;
    if (ReadFactoryFile(drive, kFactoryRecordSize, &factory) == CardReadStatus::Short) {
        ShowMessageBox(this, VersionMismatchText(), g_strVersionTitle, MB_OK);
        return;
    }

    if (m_player.GetState() == kStateRunning) OnBnClickedPlay();  // pauses
    OpenSdCardFolder(drive);
    SelectFirstRow();
    if (m_bListPanelShown == 0) ToggleFileListPanel();
    LoadLanguageFromCard(-1);
    SetupToolTips();
    OnBnClickedStop();
    OnBnClickedPlay();  // starts row 0
    FocusListWindow();
}

bool CSamplePlayerDlg::RefreshFileList(int)
{
    ClearRecordingLists();
    FindRecordings(m_strCardPath);
    if (m_pListDlg) m_pListDlg->RefreshList();
    g_strCurrentFolder = m_strCardPath;
    return true;
}

bool CSamplePlayerDlg::FindRecordings(QString folder)
{
    if (!m_pListDlg) return false;
    const QString native = DriveTable::NativePath(folder);
    const std::optional<DriveInfo> drive = folder.isEmpty() ? std::nullopt : DriveTable::Find(folder.at(0));
    if (native.isEmpty() || !drive) return false;

    Search s;
    s.root = QDir::cleanPath(QFileInfo(drive->root).absoluteFilePath());
    s.canonicalRoot = CanonicalFolder(s.root);
    s.view = m_pListDlg->GetVisibleList();
    s.master = m_pListDlg->GetMasterList();
    s.view->setUpdatesEnabled(false);
    SearchFolder(s, native);
    s.view->setUpdatesEnabled(true);
    return false;
}

void CSamplePlayerDlg::ClearRecordingLists()
{
    if (!m_pListDlg) return;
    CListDlg::DeleteAllItems(m_pListDlg->GetVisibleList());
    CListDlg::DeleteAllItems(m_pListDlg->GetMasterList());
}

void CSamplePlayerDlg::SelectFirstRow()
{
    if (!m_pListDlg) return;
    QTreeWidget* list = m_pListDlg->GetVisibleList();
    list->setFocus();
    if (list->topLevelItemCount() > 0) m_pListDlg->SetSelectionMark(0);
}
