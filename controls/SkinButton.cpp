#include "controls/SkinButton.h"

#include "platform/Resources.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <qdrawutil.h>
#include <vector>

CSkinButton::CSkinButton(QWidget* parent, unsigned style) : QAbstractButton(parent)
{
    if ((style & BS_AUTOCHECKBOX) == BS_AUTOCHECKBOX)
        m_nButtonKind = KindCheck;
    else if ((style & BS_AUTORADIOBUTTON) == BS_AUTORADIOBUTTON)
        m_nButtonKind = KindRadio;
    else
        m_nButtonKind = KindPush;
    m_crText = palette().color(QPalette::ButtonText);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
}

CSkinButton::~CSkinButton() = default;

void CSkinButton::SetButtonBitmaps(int normal, int pressed, int hover, int disabled, int focus, int shape,
                                   int drawMode, bool edge, int focusInset)
{
    auto load = [](int id) { return id != 0 ? LoadBitmapResource(id) : QImage(); };
    SetButtonImages(load(normal), load(pressed), load(hover), load(disabled != 0 ? disabled : normal),
                    load(focus), load(shape), drawMode, edge, focusInset);
}

void CSkinButton::SetButtonImages(const QImage& normal, const QImage& pressed, const QImage& hover,
                                  const QImage& disabled, const QImage& focus, const QImage& shape,
                                  int drawMode, bool edge, int focusInset)
{
    m_bmpNormal = normal;
    m_bmpPressed = pressed;
    m_bmpHover = hover;
    m_bmpDisabled = disabled.isNull() ? normal : disabled;
    m_bmpFocus = focus;
    m_bmpShape = shape;
    m_nDrawMode = static_cast<short>(qBound(0, drawMode, 2));
    m_bEdge = edge ? 1 : 0;
    m_nFocusInset = static_cast<short>(qMax(0, focusInset));
    if (!m_bmpShape.isNull())
        ApplyShape();
    if (m_nDrawMode == 0 && !m_bmpNormal.isNull())
        resize(m_bmpNormal.size());
    update();
}

void CSkinButton::ApplyShape()
{
    m_rgnWindow = RegionFromBitmap(m_bmpShape);
    setMask(m_rgnWindow);
    update();
}

QRegion CSkinButton::RegionFromBitmap(const QImage& bitmap)
{
    if (bitmap.isNull())
        return QRegion();
    const QImage img = bitmap.convertToFormat(QImage::Format_RGB32);
    const int w = img.width();
    const int h = img.height();
    std::vector<QRect> rects;
    rects.reserve(40);
    for (int y = h - 1; y >= 0; --y) {
        const QRgb* row = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        int x = 0;
        while (x < w) {
            while (x < w && (row[x] & 0xFFFFFF) == 0xFFFFFF)
                ++x;
            const int start = x;
            while (x < w && (row[x] & 0xFFFFFF) != 0xFFFFFF)
                ++x;
            if (x > start) {
                if (rects.size() == rects.capacity())
                    rects.reserve(rects.size() + 40);
                rects.emplace_back(start, y, x - start, 1);
            }
        }
    }
    QRegion region;
    for (const QRect& r : rects)
        region = region.united(r);
    return region;
}

QList<QWidget*> CSkinButton::GroupSiblings() const
{
    QList<QWidget*> group;
    QWidget* parent = parentWidget();
    if (!parent)
        return group;
    const QList<QWidget*> siblings = parent->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    const int self = siblings.indexOf(const_cast<CSkinButton*>(this));
    // The group runs from the nearest group start at or before this control to the next one.
    int first = self;
    while (first > 0) {
        const auto* b = qobject_cast<const CSkinButton*>(siblings.at(first));
        if (b && b->IsGroupStart())
            break;
        --first;
    }
    for (int i = first; i < siblings.size(); ++i) {
        const auto* b = qobject_cast<const CSkinButton*>(siblings.at(i));
        if (i > first && b && b->IsGroupStart())
            break;
        if (i != self)
            group.append(siblings.at(i));
    }
    return group;
}

void CSkinButton::SetCheck(int check)
{
    m_bChecked = (check != 0 && m_nButtonKind != KindPush) ? 1 : 0;
    if (m_bChecked && m_nButtonKind == KindRadio) {
        for (QWidget* w : GroupSiblings())
            QCoreApplication::postEvent(w, new QEvent(kSkinUncheckEvent));
    }
    update();
}

void CSkinButton::customEvent(QEvent* e)
{
    if (e->type() == kSkinUncheckEvent) {
        if (m_bChecked) {
            m_bChecked = 0;
            update();
        }
        return;
    }
    QAbstractButton::customEvent(e);
}

bool CSkinButton::hitButton(const QPoint& pos) const
{
    if (!m_rgnWindow.isEmpty())
        return m_rgnWindow.contains(pos);
    return rect().contains(pos);
}

void CSkinButton::mousePressEvent(QMouseEvent* e)
{
    if (m_bHovering)
        m_bHovering = 0;
    QAbstractButton::mousePressEvent(e);
    if (e->button() == Qt::LeftButton)
        m_bPressed = 1;
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

void CSkinButton::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && m_bPressed && hitButton(e->position().toPoint())) {
        if (m_nButtonKind == KindCheck)
            SetCheck(m_bChecked ? 0 : 1);
        else if (m_nButtonKind == KindRadio)
            SetCheck(1);
    }
    if (e->button() == Qt::LeftButton)
        m_bPressed = 0;
    QAbstractButton::mouseReleaseEvent(e);
}

void CSkinButton::mouseMoveEvent(QMouseEvent* e)
{
    if (m_bPressed && (e->buttons() & Qt::LeftButton)) {
        // The pushed look follows whether the cursor is still over the button.
        QAbstractButton::mouseMoveEvent(e);
        return;
    }
    if (!m_bHovering) {
        m_bHovering = 1;
        update();
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CSkinButton::leaveEvent(QEvent* e)
{
    m_bHovering = 0;
    update();
    QAbstractButton::leaveEvent(e);
}

void CSkinButton::focusOutEvent(QFocusEvent* e)
{
    m_bPressed = 0;
    QAbstractButton::focusOutEvent(e);
    setDown(false);
}

void CSkinButton::keyPressEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && m_nButtonKind != KindPush) {
        if (!e->isAutoRepeat()) {
            SetCheck(m_nButtonKind == KindCheck ? (m_bChecked ? 0 : 1) : 1);
            emit clicked(m_bChecked != 0);
        }
        e->accept();
        return;
    }
    QAbstractButton::keyPressEvent(e);
}

void CSkinButton::keyReleaseEvent(QKeyEvent* e)
{
    if (e->key() == Qt::Key_Space && m_nButtonKind != KindPush) {
        e->accept();
        return;
    }
    QAbstractButton::keyReleaseEvent(e);
}

void CSkinButton::DrawStateBitmap(QPainter& p, const QImage& bitmap)
{
    const QRect r = rect();
    if (m_nDrawMode == 2) {
        p.save();
        p.setClipRect(r);
        for (int y = 0; y < r.height(); y += bitmap.height())
            for (int x = 0; x < r.width(); x += bitmap.width())
                p.drawImage(QPoint(x, y), bitmap);
        p.restore();
        return;
    }
    const QRect dest = m_nDrawMode == 0 ? QRect(QPoint(0, 0), bitmap.size()) : r;
    if (!m_bmpShape.isNull()) {
        // Transparent where the shape is white.
        const QImage shape = m_nDrawMode == 0 || m_bmpShape.size() == dest.size()
                                 ? m_bmpShape
                                 : m_bmpShape.scaled(dest.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        p.save();
        p.setClipRegion(RegionFromBitmap(shape).translated(dest.topLeft()));
        p.drawImage(dest, bitmap);
        p.restore();
        return;
    }
    p.drawImage(dest, bitmap);
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect item = rect();
    QRect text = item.adjusted(m_nFocusInset + 2, 0, -(m_nFocusInset + 2), 0);
    const QString caption = this->text();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    const QPalette& pal = palette();

    if (!isEnabled()) {
        if (!m_bmpDisabled.isNull())
            DrawStateBitmap(p, m_bmpDisabled);
        else
            p.fillRect(item, pal.color(QPalette::Button));
        if (m_bEdge)
            qDrawWinPanel(&p, item, pal, false);
        if (!caption.isEmpty()) {
            p.setPen(pal.color(QPalette::Light));
            p.drawText(text, flags, caption);
            p.setPen(pal.color(QPalette::Disabled, QPalette::Text));
            p.drawText(text.translated(-1, -1), flags, caption);
        }
        return;
    }
    if (isDown() || m_bChecked) {
        if (!m_bmpPressed.isNull())
            DrawStateBitmap(p, m_bmpPressed);
        else
            p.fillRect(item, pal.color(QPalette::Button));
        text.translate(1, 1);
        if (m_bEdge)
            qDrawWinPanel(&p, item, pal, true);
    } else {
        if (m_bmpNormal.isNull())
            p.fillRect(item, pal.color(QPalette::Button));
        else if (m_bHovering && !m_bmpHover.isNull())
            DrawStateBitmap(p, m_bmpHover);
        else if (hasFocus() && !m_bmpFocus.isNull())
            DrawStateBitmap(p, m_bmpFocus);
        else
            DrawStateBitmap(p, m_bmpNormal);
        if (m_bEdge)
            qDrawWinPanel(&p, item, pal, false);
    }
    if (hasFocus() && m_nFocusInset > 0) {
        QStyleOptionFocusRect opt;
        opt.initFrom(this);
        opt.rect = item.adjusted(m_nFocusInset, m_nFocusInset, -m_nFocusInset, -m_nFocusInset);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &opt, &p, this);
    }
    if (!caption.isEmpty()) {
        p.setPen(m_crText);
        p.drawText(text, flags, caption);
    }
}
