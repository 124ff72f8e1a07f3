// Skin bitmaps looked up by id, at the sizes the window places them; dialog-unit conversion.
#include "platform/DialogUnits.h"
#include "platform/Resources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QFontMetrics>
#include <gtest/gtest.h>

namespace {

int argc = 1;
char arg0[] = "resources_test";
char* argv[] = {arg0, nullptr};
QApplication* app = nullptr;

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!app)
            app = new QApplication(argc, argv);
    }
};

struct SizeCase {
    int id;
    int w, h;
};

TEST_F(Resources, SkinBitmapsHaveTheirPlacedSizes)
{
    const SizeCase cases[] = {
        {411, 1020, 720}, {464, 256, 720}, {416, 40, 39}, {3391, 40, 39}, {8388, 40, 39},
        {432, 26, 24},    {438, 26, 24},   {267, 23, 23}, {233, 5, 20},   {236, 541, 17},
        {252, 92, 20},    {253, 92, 20},   {446, 107, 106}, {447, 89, 92}, {448, 180, 165},
        {459, 180, 165},  {484, 17, 35},   {340, 12, 145}, {265, 25, 25}, {460, 60, 15},
        {476, 256, 12},   {477, 256, 12},  {220, 515, 225}, {129, 461, 160}, {472, 32, 32},
    };
    for (const SizeCase& c : cases) {
        const QImage img = LoadBitmapResource(c.id);
        ASSERT_FALSE(img.isNull()) << c.id;
        EXPECT_EQ(img.size(), QSize(c.w, c.h)) << c.id;
    }
}

TEST_F(Resources, EverySkinFileIsCompiledIn)
{
    // The generator's output and the resource list agree, and each listed id loads.
    QFile qrc(QStringLiteral(VIEWER_SOURCE_DIR "/res/res.qrc"));
    ASSERT_TRUE(qrc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(qrc.readAll());
    QStringList listed;
    const QRegularExpression entry(QStringLiteral("<file>skin/(\\d+)\\.png</file>"));
    for (auto it = entry.globalMatch(text); it.hasNext();)
        listed << it.next().captured(1);
    QStringList files = QDir(QStringLiteral(VIEWER_SOURCE_DIR "/res/skin")).entryList({QStringLiteral("*.png")});
    for (QString& f : files)
        f.chop(4);
    listed.sort();
    files.sort();
    EXPECT_EQ(listed, files);
    for (const QString& id : listed)
        EXPECT_FALSE(LoadBitmapResource(id.toInt()).isNull()) << id.toStdString();
}

TEST_F(Resources, MissingIdAnswersNull)
{
    EXPECT_TRUE(LoadBitmapResource(0).isNull());
    EXPECT_TRUE(LoadBitmapResource(-5).isNull());
    EXPECT_TRUE(LoadBitmapResource(99999).isNull());
    EXPECT_TRUE(LoadPixmapResource(12345).isNull());
    EXPECT_TRUE(LoadIconResource(12345).isNull());
    EXPECT_FALSE(LoadIconResource(472).isNull());
    EXPECT_EQ(LoadCursorResource(12345).shape(), Qt::ArrowCursor);
}

TEST_F(Resources, DialogUnitsFollowTheFontBaseUnits)
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(12);
    const QFontMetrics fm(font);
    const int bx = (fm.horizontalAdvance(QStringLiteral(
                        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
    const int by = fm.height();
    EXPECT_EQ(DialogUnitsToPixelsX(4, font), bx);
    EXPECT_EQ(DialogUnitsToPixelsY(8, font), by);
    EXPECT_EQ(DialogUnitsToPixelsX(0, font), 0);
    const QRect r = DialogUnitsToPixels(QRect(8, 16, 400, 80), font);
    EXPECT_EQ(r, QRect(2 * bx, 2 * by, 100 * bx, 10 * by));
}

} // namespace
