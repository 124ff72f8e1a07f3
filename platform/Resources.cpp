#include "platform/Resources.h"

#include <QFile>

// Resources of a static library must be registered by name before the first look-up.
static void InitResourcesOnce()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(res);
        return true;
    }();
    (void)done;
}

QString ResourcePath(int id) { return QStringLiteral(":/skin/%1.png").arg(id); }

bool HasBitmapResource(int id)
{
    InitResourcesOnce();
    return id > 0 && QFile::exists(ResourcePath(id));
}

QImage LoadBitmapResource(int id)
{
    if (!HasBitmapResource(id))
        return QImage();
    QImage img(ResourcePath(id));
    if (img.isNull())
        return img;
    // One pixel format everywhere, so pixel reads and region scans behave alike.
    return img.convertToFormat(QImage::Format_RGB32);
}

QPixmap LoadPixmapResource(int id)
{
    const QImage img = LoadBitmapResource(id);
    return img.isNull() ? QPixmap() : QPixmap::fromImage(img);
}

QIcon LoadIconResource(int id)
{
    if (!HasBitmapResource(id))
        return QIcon();
    return QIcon(QPixmap(ResourcePath(id)));
}

QCursor LoadCursorResource(int id)
{
    const QPixmap pm = LoadPixmapResource(id);
    return pm.isNull() ? QCursor(Qt::ArrowCursor) : QCursor(pm, 0, 0);
}
