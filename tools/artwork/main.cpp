// Writes the skin's bitmaps as <outdir>/<id>.png; with --qrc also prints the resource entries.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <functional>
#include <set>

namespace art {
void DrawSkin(const std::function<void(int, const QImage&)>& save);
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: viewer_artwork <outdir> [--qrc]\n");
        return 2;
    }
    const QString dir = args.at(1);
    QDir().mkpath(dir);
    std::set<int> ids;
    bool ok = true;
    art::DrawSkin([&](int id, const QImage& img) {
        if (!ids.insert(id).second)
            std::fprintf(stderr, "bitmap %d drawn twice\n", id);
        // Flat colours compress best at the strongest level.
        if (!img.save(QStringLiteral("%1/%2.png").arg(dir).arg(id), "PNG", 0)) {
            std::fprintf(stderr, "cannot write bitmap %d\n", id);
            ok = false;
        }
    });
    if (args.contains(QStringLiteral("--qrc")))
        for (int id : ids)
            std::printf("    <file>skin/%d.png</file>\n", id);
    std::fprintf(stderr, "%zu bitmaps written to %s\n", ids.size(), qPrintable(dir));
    return ok ? 0 : 1;
}
