#pragma once
// Offscreen GUI helpers for the settings tests: a message-box recorder that answers for the
// user, and real clicks and keystrokes; the application and the screenshots are the shared ones.
#include "controls/GuiTest.h"
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

// Pixels darker than mid grey: text and lines drawn on the light dialog background.
inline int DarkPixels(const QImage& img, const QRect& r)
{
    int n = 0;
    for (int y = std::max(0, r.top()); y <= std::min(img.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(img.width() - 1, r.right()); ++x)
            if (qGray(img.pixel(x, y)) < 110) ++n;
    return n;
}

