#include "settings/Download.h"

#include "platform/FileDialogs.h"
#include "platform/MessageBox.h"
#include "settings/SetupTexts.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <atomic>

namespace {

void Call(const std::function<void()>& f)
{
    if (f) f();
}

// Messages of the framework's own box carry the program's name as their title.
void FrameworkBox(const QString& text)
{
    if (!text.isEmpty()) ShowMessageBox(nullptr, text, QApplication::applicationDisplayName(), MB_OK);
}

QString NotSelectedText(int language)
{
    return ByLanguageOrEnglish(language, "선택된 파일이 없습니다.", "File is not selected.", "ファイルが選択されていません。");
}

}  // namespace

CopyResult CopyWithProgress(QWidget* owner, int language, const QString& source, const QString& destination,
                            QString* error)
{
    constexpr int kSteps = 1000;
    std::atomic<bool> cancel{false};
    std::atomic<std::int64_t> done{0}, total{0};
    CopyResult result = CopyResult::Failed;
    QString why;
    QThread* worker = QThread::create([&] {
        result = CopyFileReplacing(source, destination, [&](std::int64_t d, std::int64_t t) {
            done = d;
            total = t;
            return !cancel.load();
        }, &why);
    });

    QProgressDialog progress(ByLanguageOrEnglish(language, "%1 복사 중...", "Copying %1...", "%1をコピーしています...")
                                 .arg(QFileInfo(source).fileName()),
                             ByLanguageOrEnglish(language, "취소", "Cancel", "キャンセル"), 0, kSteps, owner);
    progress.setWindowTitle(TitleOrEnglish(language));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(300);
    progress.setAutoReset(false);
    progress.setAutoClose(false);
    QObject::connect(&progress, &QProgressDialog::canceled, [&] { cancel = true; });

    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const std::int64_t t = total, d = done;
        progress.setValue(t > 0 ? static_cast<int>(d * kSteps / t) : 0);
    });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    tick.start(100);
    if (!worker->isFinished()) loop.exec();
    worker->wait();
    delete worker;
    if (error) *error = why;
    return result;
}

void RunDownloadCommand(QWidget* owner, int language, const DownloadHooks& hooks)
{
    const auto finish = [&] { Call(hooks.focusList); };
    if (!hooks.listedCount || hooks.listedCount() == 0) {
        FrameworkBox(NotSelectedText(language));
        return finish();
    }
    if (hooks.playerRunning && hooks.playerRunning()) Call(hooks.stopPlayer);

    const QString source = hooks.selectedPath ? hooks.selectedPath() : QString();
    // No row at the selection mark: nothing to copy, and the user is told so before choosing a folder.
    if (source.isEmpty()) {
        FrameworkBox(NotSelectedText(language));
        return finish();
    }
    const QString name = QFileInfo(source).fileName();

    FileDialogRequest request;
    request.kind = FileDialogKind::Folder;
    request.title = ByLanguageOrEnglish(language, "재생중인 파일을 저장할 폴더 : ", "Select Download Target folder",
                                        "ダウンロード先のフォルダを選択して下さい。");
    const QStringList chosen = RunFileDialog(request);
    if (chosen.isEmpty() || chosen.first().isEmpty()) return finish();
    const QString folder = chosen.first();
    const QString destination = QDir::cleanPath(folder + QLatin1Char('/') + name);

    QString error;
    const CopyResult r = CopyWithProgress(owner, language, source, destination, &error);
    const QString shown = QDir::toNativeSeparators(destination);
    if (r == CopyResult::Ok) {
        ShowMessageBox(owner,
                       ByLanguageOrEnglish(language, "현재 재생중인 파일이 %s로 복사되었습니다.",
                                           "The File that is playing copies to %s.", "再生中のファイルを%sへコピーします。")
                           .replace(QLatin1String("%s"), shown),
                       TitleOrEnglish(language), MB_OK);
        Call(hooks.reopenLater);
    } else if (r == CopyResult::Failed) {
        ShowMessageBox(owner,
                       ByLanguageOrEnglish(language, "파일을 %s(으)로 복사하지 못했습니다.",
                                           "The file could not be copied to %s.", "ファイルを%sへコピーできませんでした。")
                               .replace(QLatin1String("%s"), shown) +
                           QStringLiteral("\n") + error,
                       TitleOrEnglish(language), MB_OK | MB_ICONERROR);
    }
    finish();
}
