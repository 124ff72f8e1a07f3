#include "controls/BitmapButton.h"

#include "platform/Resources.h"

#include <QPainter>

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent)
{
    setAttribute(Qt::WA_NoSystemBackground);
}

bool CBitmapButton::LoadBitmaps(int normal, int selected, int focused, int disabled)
{
    auto load = [](int id) { return id != 0 ? LoadBitmapResource(id) : QImage(); };
    return LoadImages(load(normal), load(selected), load(focused), load(disabled));
}

bool CBitmapButton::LoadImages(const QImage& normal, const QImage& selected, const QImage& focused,
                               const QImage& disabled)
{
    m_bitmap = normal;
    m_bitmapSel = selected;
    m_bitmapFocus = focused;
    m_bitmapDisabled = disabled;
    update();
    return !m_bitmap.isNull();
}

void CBitmapButton::SizeToContent()
{
    if (!m_bitmap.isNull())
        resize(m_bitmap.size());
}

void CBitmapButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QImage* img = &m_bitmap;
    if (!isEnabled() && !m_bitmapDisabled.isNull())
        img = &m_bitmapDisabled;
    else if (isDown() && !m_bitmapSel.isNull())
        img = &m_bitmapSel;
    else if (hasFocus() && !m_bitmapFocus.isNull())
        img = &m_bitmapFocus;
    if (img->isNull()) {
        p.fillRect(rect(), palette().color(QPalette::Button));
        return;
    }
    p.drawImage(QPoint(0, 0), *img);
}
