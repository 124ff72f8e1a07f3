// DOWN: copying the selected recording into a folder the user picks. The copy goes through a
// temporary file, so a failed or cancelled copy leaves nothing under the recording's name and an
// earlier file of that name whole; the command speaks the user's language in every outcome.
#include "CardFixture.h"
#include "GuiSupport.h"

#include "platform/FileAccess.h"
#include "platform/FileDialogs.h"
#include "settings/Download.h"

#include <QDir>
#include <fcntl.h>

namespace {

QByteArray Pattern(int bytes)
{
    QByteArray b(bytes, '\0');
    for (int i = 0; i < bytes; ++i) b[i] = static_cast<char>((static_cast<unsigned>(i) * 131u + static_cast<unsigned>(i) / 4099u) & 0xFFu);
    return b;
}

QString MakeDir(const QString& name)
{
    const QString dir = ScratchDir() + QLatin1Char('/') + name;
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the folder picker with a folder (empty: cancelled) and keeps the requests.
class FolderAnswer {
public:
    explicit FolderAnswer(QString folder)
    {
        m_previous = SetFileDialogHandler([this, folder](const FileDialogRequest& r) {
            requests.push_back(r);
            return folder.isEmpty() ? QStringList() : QStringList{folder};
        });
    }
    ~FolderAnswer() { SetFileDialogHandler(m_previous); }
    std::vector<FileDialogRequest> requests;

private:
    FileDialogHandler m_previous;
};

class Download : public GuiTest {
protected:
    void SetUp() override
    {
        source = MakeDir(QStringLiteral("down_card")) + QStringLiteral("/20170811_123456_NF.mp4");
        WriteBytes(source, Pattern(3 << 20));
        hooks.listedCount = [this] { return listed; };
        hooks.playerRunning = [this] { return running; };
        hooks.stopPlayer = [this] { ++stopped; };
        hooks.selectedPath = [this] { return selected; };
        hooks.reopenLater = [this] { ++reopened; };
        hooks.focusList = [this] { ++focused; };
        selected = source;
    }
    QString source, selected;
    int listed = 5;
    bool running = false;
    int stopped = 0, reopened = 0, focused = 0;
    DownloadHooks hooks;
};

}  // namespace

TEST_F(Download, CopiesIntoAnEmptyFolderAndOverAFileOfTheSameName)
{
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        const QString target = MakeDir(QStringLiteral("down_target"));
        const QString copy = target + QStringLiteral("/20170811_123456_NF.mp4");
        if (existing) WriteBytes(copy, QByteArray(10 << 20, 'x'));  // longer than the new one
        std::vector<std::int64_t> seen;
        const CopyResult r = CopyFileReplacing(source, copy, [&](std::int64_t done, std::int64_t total) {
            EXPECT_EQ(total, 3 << 20);
            seen.push_back(done);
            return true;
        });
        EXPECT_EQ(r, CopyResult::Ok);
        EXPECT_EQ(FileBytes(copy), FileBytes(source));
        EXPECT_EQ(Entries(target), QStringList{"20170811_123456_NF.mp4"});
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.front(), 0);
        EXPECT_EQ(seen.back(), 3 << 20);
        EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    }
}

TEST_F(Download, CancelledOrFailedCopiesLeaveNothingBehind)
{
    const QString target = MakeDir(QStringLiteral("down_cancel"));
    const QString copy = target + QStringLiteral("/20170811_123456_NF.mp4");

    // Cancelled half way onto an empty folder, then onto an earlier file, which stays whole.
    // The recording spans several of the copy's chunks.
    constexpr int kSize = 20 << 20;
    const QString big = QFileInfo(source).path() + QStringLiteral("/20170811_130000_NF.mp4");
    WriteBytes(big, Pattern(kSize));
    const QString bigCopy = target + QStringLiteral("/20170811_130000_NF.mp4");
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        if (existing) WriteBytes(bigCopy, "earlier");
        std::int64_t reached = 0;
        const CopyResult r = CopyFileReplacing(big, bigCopy, [&](std::int64_t done, std::int64_t total) {
            reached = done;
            return done < total / 2;
        });
        EXPECT_EQ(r, CopyResult::Cancelled);
        EXPECT_GE(reached, kSize / 2);
        EXPECT_LT(reached, kSize);
        EXPECT_EQ(Entries(target), existing ? QStringList{"20170811_130000_NF.mp4"} : QStringList());
        if (existing) {
            EXPECT_EQ(FileBytes(bigCopy), "earlier");
        }
    }

    // A source that is gone, a folder in the way of the name, a folder that does not exist.
    QString error;
    WriteBytes(copy, "earlier");
    EXPECT_EQ(CopyFileReplacing(source + QStringLiteral(".gone"), copy, {}, &error), CopyResult::Failed);
    EXPECT_FALSE(error.isEmpty());
    const QString blocked = target + QStringLiteral("/blocked.mp4");
    QDir().mkpath(blocked);
    EXPECT_EQ(CopyFileReplacing(source, blocked, {}, &error), CopyResult::Failed);
    EXPECT_EQ(CopyFileReplacing(source, target + QStringLiteral("/none/x.mp4"), {}, &error), CopyResult::Failed);
    EXPECT_EQ(CopyFileReplacing(QString(), copy, {}, &error), CopyResult::Failed);
    EXPECT_EQ(Entries(target), (QStringList{"20170811_123456_NF.mp4", "20170811_130000_NF.mp4", "blocked.mp4"}));
    EXPECT_EQ(FileBytes(copy), "earlier");

    // Onto itself: the file stays as it is.
    EXPECT_EQ(CopyFileReplacing(source, source, {}), CopyResult::Ok);
    EXPECT_EQ(FileBytes(source), Pattern(3 << 20));
}

// The camera's names are short, but a card may hold any name a folder entry takes (255
// bytes): the copy's temporary file must not be what makes it fail.
TEST_F(Download, NamesUpToTheLongestAFolderTakesAreCopied)
{
    const QString target = MakeDir(QStringLiteral("down_long"));
    for (const QString& name : {QString(251, QLatin1Char('a')) + QStringLiteral(".mp4"),   // 255 bytes
                                QString(83, QChar(0x65E5)) + QStringLiteral(".mp4"),       // 253 bytes in UTF-8
                                QString(240, QLatin1Char('b')) + QStringLiteral(".mp4")}) {
        SCOPED_TRACE(name.toStdString());
        const QString copy = target + QLatin1Char('/') + name;
        QString error;
        ASSERT_EQ(CopyFileReplacing(source, copy, {}, &error), CopyResult::Ok) << error.toStdString();
        EXPECT_EQ(FileBytes(copy), FileBytes(source));
    }
    EXPECT_EQ(Entries(target).size(), 3);  // and no temporary file left
}

// A source that ends short of the length it had when the copy began (cut off while it was
// read, as a card pulled out): the copy is a failure, and leaves nothing under the name.
TEST_F(Download, ASourceCutShortWhileCopiedIsAFailure)
{
    constexpr int kSize = 20 << 20;  // several of the copy's chunks
    const QString big = QFileInfo(source).path() + QStringLiteral("/20170811_140000_NF.mp4");
    const QString target = MakeDir(QStringLiteral("down_short"));
    const QString copy = target + QStringLiteral("/20170811_140000_NF.mp4");
    for (bool existing : {false, true}) {
        SCOPED_TRACE(existing);
        WriteBytes(big, Pattern(kSize));
        if (existing) WriteBytes(copy, "earlier");
        bool cut = false;
        QString error;
        const CopyResult r = CopyFileReplacing(big, copy, [&](std::int64_t done, std::int64_t) {
            if (done > 0 && !cut) cut = ::truncate(QFile::encodeName(big).constData(), kSize / 2) == 0;
            return true;
        }, &error);
        ASSERT_TRUE(cut);
        EXPECT_EQ(r, CopyResult::Failed);
        EXPECT_FALSE(error.isEmpty());
        EXPECT_EQ(Entries(target), existing ? QStringList{"20170811_140000_NF.mp4"} : QStringList());
        if (existing) {
            EXPECT_EQ(FileBytes(copy), "earlier");
        }
    }
}

TEST_F(Download, APipeIsRefusedAndANameKeepsItsBytes)
{
    ::alarm(60);  // a pipe opened for reading would wait for ever
    const QString target = MakeDir(QStringLiteral("down_odd"));
    const QString pipe = target + QStringLiteral("/pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0644), 0);
    QString error;
    EXPECT_EQ(CopyFileReplacing(pipe, target + QStringLiteral("/copy.mp4"), {}, &error), CopyResult::Failed);
    EXPECT_FALSE(error.isEmpty());

    // A recording whose name is not valid UTF-8 is copied under the same bytes.
    const QByteArray odd = QFile::encodeName(target) + "/odd\xff.mp4";
    const QString copy = FileNameFromBytes(odd);
    ASSERT_EQ(CopyFileReplacing(source, copy, {}, &error), CopyResult::Ok) << error.toStdString();
    const int fd = ::open(odd.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char head[4];
    EXPECT_EQ(::read(fd, head, sizeof head), 4);
    ::close(fd);
    EXPECT_EQ(QByteArray(head, 4), FileBytes(source).left(4));
    EXPECT_EQ(CopyFileReplacing(copy, target + QStringLiteral("/back.mp4"), {}, &error), CopyResult::Ok);
    EXPECT_EQ(FileBytes(target + QStringLiteral("/back.mp4")), FileBytes(source));
    ::unlink(odd.constData());
    ::alarm(0);
}

TEST_F(Download, CommandCopiesAndSaysSoInTheUsersLanguage)
{
    const struct {
        int language;
        const char* title;
        const char* folderTitle;
        const char* done;
    } cases[] = {
        {2, "카르벤", "재생중인 파일을 저장할 폴더 : ", "현재 재생중인 파일이 %s로 복사되었습니다."},
        {1, "VELMORA-21K", "Select Download Target folder", "The File that is playing copies to %s."},
        {0, "ベルモラ-21K", "ダウンロード先のフォルダを選択して下さい。", "再生中のファイルを%sへコピーします。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        const QString target = MakeDir(QStringLiteral("down_cmd"));
        const QString copy = target + QStringLiteral("/20170811_123456_NF.mp4");
        FolderAnswer folder(target);
        BoxRecorder boxes;
        running = true;
        stopped = reopened = 0;
        RunDownloadCommand(nullptr, c.language, hooks);
        EXPECT_EQ(stopped, 1);
        ASSERT_EQ(folder.requests.size(), 1u);
        EXPECT_EQ(folder.requests[0].kind, FileDialogKind::Folder);
        EXPECT_EQ(folder.requests[0].title, QString::fromUtf8(c.folderTitle));
        EXPECT_EQ(FileBytes(copy), FileBytes(source));
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, QString::fromUtf8(c.done).replace("%s", copy));
        EXPECT_EQ(boxes.seen[0].title, QString::fromUtf8(c.title));
        EXPECT_EQ(reopened, 1);
    }
    EXPECT_EQ(focused, 3);
}

TEST_F(Download, ReadOnlyFolderIsReportedAndLeftEmpty)
{
    const QString target = MakeDir(QStringLiteral("down_readonly"));
    ::chmod(QFile::encodeName(target).constData(), 0555);
    for (int language : {0, 1, 2}) {
        SCOPED_TRACE(language);
        FolderAnswer folder(target);
        BoxRecorder boxes;
        AsOrdinaryUser([&] { RunDownloadCommand(nullptr, language, hooks); });
        ASSERT_EQ(boxes.seen.size(), 1u);
        const QString expected = QStringList{"ファイルを%sへコピーできませんでした。", "The file could not be copied to %s.",
                                             "파일을 %s(으)로 복사하지 못했습니다."}[language]
                                     .replace("%s", target + QStringLiteral("/20170811_123456_NF.mp4"));
        EXPECT_TRUE(boxes.seen[0].text.startsWith(expected)) << boxes.seen[0].text.toStdString();
        EXPECT_GT(boxes.seen[0].text.size(), expected.size());  // with the system's reason
        EXPECT_EQ(boxes.seen[0].style & 0xF0, MB_ICONERROR);
    }
    ::chmod(QFile::encodeName(target).constData(), 0755);
    EXPECT_TRUE(Entries(target).isEmpty());
    EXPECT_EQ(reopened, 0);
}

TEST_F(Download, NothingToCopyIsSaidBeforeAnyFolderIsAsked)
{
    const struct {
        const char* what;
        int listed;
        bool rowSelected;
    } cases[] = {{"empty list", 0, true}, {"no row selected", 5, false}};
    for (const auto& c : cases) {
        for (int language : {0, 1, 2}) {
            SCOPED_TRACE(std::string(c.what) + std::to_string(language));
            listed = c.listed;
            selected = c.rowSelected ? source : QString();
            FolderAnswer folder(MakeDir(QStringLiteral("down_none")));
            BoxRecorder boxes;
            RunDownloadCommand(nullptr, language, hooks);
            ASSERT_EQ(boxes.seen.size(), 1u);
            EXPECT_EQ(boxes.seen[0].text,
                      QString::fromUtf8(std::vector<const char*>{"ファイルが選択されていません。", "File is not selected.",
                                                                 "선택된 파일이 없습니다."}[static_cast<std::size_t>(language)]));
            EXPECT_TRUE(folder.requests.empty());
            EXPECT_TRUE(Entries(MakeDir(QStringLiteral("down_none"))).isEmpty());
        }
    }
    EXPECT_EQ(reopened, 0);
}

TEST_F(Download, CancelledFolderPickerCopiesNothing)
{
    FolderAnswer folder{QString()};
    BoxRecorder boxes;
    RunDownloadCommand(nullptr, 1, hooks);
    EXPECT_EQ(folder.requests.size(), 1u);
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_EQ(reopened, 0);
    EXPECT_EQ(focused, 1);
}

TEST_F(Download, ProgressWindowCopiesAndIsGone)
{
    const QString target = MakeDir(QStringLiteral("down_progress"));
    const QString copy = target + QStringLiteral("/x.mp4");
    QString error;
    EXPECT_EQ(CopyWithProgress(nullptr, 2, source, copy, &error), CopyResult::Ok);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(FileBytes(copy), FileBytes(source));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
