#pragma once
// Bitmap, icon and cursor resources looked up by their numeric id. The images are PNG files
// compiled into the program (res/res.qrc, path ":/skin/<id>.png"). A missing id answers a null
// image, as loading an absent resource fails.
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QString>

QString ResourcePath(int id);
bool HasBitmapResource(int id);
QImage LoadBitmapResource(int id);
QPixmap LoadPixmapResource(int id);
QIcon LoadIconResource(int id);
// A cursor made from the image with its hot spot at the top-left corner; the arrow when the id is
// missing (the system's default cursor).
QCursor LoadCursorResource(int id);
