#pragma once
// Shared by the GUI tests of the controls and views: one QApplication for the process, and the
// screenshots kept for review under <build>/artefacts/.
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QWidget>
#include <gtest/gtest.h>

inline QApplication* EnsureApp()
{
    static int argc = 1;
    static char name[] = "gui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// Renders the widget (children included) as it is drawn on screen.
inline QImage Render(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline QString SaveArtefact(QWidget* w, const QString& name)
{
    const QString dir = QStringLiteral(VIEWER_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    Render(w).save(path);
    return path;
}

inline QRgb Rgb(const QImage& img, int x, int y) { return img.pixel(x, y) & 0xFFFFFF; }
inline QRgb Rgb(const QColor& c) { return c.rgb() & 0xFFFFFF; }

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
};
