#pragma once
// Offscreen GUI helpers for the settings tests: one QApplication, a message-box recorder that
// answers for the user, real clicks and keystrokes, and screenshots kept under
// <build>/artefacts/.
#include "platform/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <deque>
#include <vector>

inline QApplication* EnsureApp()
{
    static int argc = 1;
    static char name[] = "settings_gui_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

struct SeenBox {
    QString text, title;
    unsigned style;
};

// Records every box; answers from the queue, else OK for OK boxes and No for questions.
class BoxRecorder {
public:
    BoxRecorder()
    {
        m_previous = SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& title, unsigned style) {
            seen.push_back({text, title, style});
            if (!answers.empty()) {
                const int a = answers.front();
                answers.pop_front();
                return a;
            }
            return (style & 0x0F) == MB_YESNO ? IDNO : IDOK;
        });
    }
    ~BoxRecorder() { SetMessageBoxHandler(m_previous); }

    std::vector<SeenBox> seen;
    std::deque<int> answers;

private:
    MessageBoxHandler m_previous;
};

// A click where a radio button or check box takes it: on its indicator.
inline void ClickButton(QWidget* w)
{
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(w->isVisible());
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// Replaces an edit's text by typing, as the user does.
inline void TypeInto(QWidget* w, const QString& text)
{
    auto* e = qobject_cast<QLineEdit*>(w);
    ASSERT_NE(e, nullptr);
    e->setFocus();
    e->selectAll();
    QTest::keyClicks(e, text);
}

inline QImage Render(QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); }

inline QString SaveArtefact(QWidget* w, const QString& name)
{
    const QString dir = QStringLiteral(VIEWER_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QStringLiteral(".png");
    Render(w).save(path);
    return path;
}

// Pixels darker than mid grey: text and lines drawn on the light dialog background.
inline int DarkPixels(const QImage& img, const QRect& r)
{
    int n = 0;
    for (int y = std::max(0, r.top()); y <= std::min(img.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(img.width() - 1, r.right()); ++x)
            if (qGray(img.pixel(x, y)) < 110) ++n;
    return n;
}

class GuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
};
