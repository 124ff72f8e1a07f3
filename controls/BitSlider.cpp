#include "controls/BitSlider.h"

#include "controls/BitWnd.h"
#include "controls/BitmapStrip.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

CBitSlider::CBitSlider(Qt::Orientation orientation, QWidget* parent) : QSlider(orientation, parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Every move refreshes the position text, pressed or not.
    setMouseTracking(true);
    connect(this, &QAbstractSlider::actionTriggered, this, &CBitSlider::OnAction);
    connect(this, &QAbstractSlider::sliderReleased, this, [this] {
        emit Scroll(TB_THUMBPOSITION, value());
        emit Scroll(TB_ENDTRACK, value());
    });
}

CBitSlider::~CBitSlider()
{
    if (m_bOwnsStrips) {
        delete m_pBefore;
        delete m_pAfter;
    }
}

void CBitSlider::CreateThumbWnd(int thumbBitmapId, int frameWidth, int frameHeight)
{
    if (m_pThumb || thumbBitmapId == 0)
        return;
    m_pThumb = new CBitWnd(this);
    m_pThumb->SetStrip(new CBitmapStrip(frameHeight, thumbBitmapId, frameWidth), true);
    m_pThumb->SetForwardMouse(true);
    m_pThumb->show();
    UpdatePositionText();
    PlaceThumbWnd();
}

void CBitSlider::SetBitmaps(int afterId, int beforeId)
{
    SetStrips(new CBitmapStrip(0, afterId, 0), new CBitmapStrip(0, beforeId, 0));
}

void CBitSlider::SetStrips(CBitmapStrip* after, CBitmapStrip* before)
{
    if (m_bOwnsStrips) {
        delete m_pBefore;
        delete m_pAfter;
    }
    m_pAfter = after;
    m_pBefore = before;
    m_bOwnsStrips = true;
    if (m_pBefore && !m_pBefore->GetBitmap().isNull())
        resize(m_pBefore->GetBitmap().size());
    PlaceThumbWnd();
    update();
}

int CBitSlider::ThumbLength() const
{
    // The thumb window's extent along the axis; a plain trackbar's thumb is 5 pixels when none
    // exists yet.
    if (m_pThumb && m_pThumb->width() > 0)
        return orientation() == Qt::Horizontal ? m_pThumb->width() : m_pThumb->height();
    return 5;
}

QRect CBitSlider::GetThumbRect() const
{
    const int len = ThumbLength();
    if (orientation() == Qt::Horizontal) {
        const int span = qMax(0, width() - len);
        const int x = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span, invertedAppearance());
        return QRect(x, 0, len, height());
    }
    const int span = qMax(0, height() - len);
    const int y = QStyle::sliderPositionFromValue(minimum(), maximum(), value(), span, invertedAppearance());
    return QRect(0, y, width(), len);
}

int CBitSlider::ValueFromPixel(int pixel) const
{
    const int len = ThumbLength();
    const int span = qMax(0, (orientation() == Qt::Horizontal ? width() : height()) - len);
    return QStyle::sliderValueFromPosition(minimum(), maximum(), qBound(0, pixel, span), span, invertedAppearance());
}

void CBitSlider::PaintChannel(QPainter& p, bool movingThumb)
{
    const QRect thumb = GetThumbRect();
    const QRect client = rect();
    p.fillRect(client, Qt::black);
    if (orientation() == Qt::Horizontal) {
        const int thumbRight = thumb.left() + thumb.width();
        const int beforeWidth = movingThumb ? thumbRight : thumb.left();
        if (m_pBefore && beforeWidth > 0)
            m_pBefore->Blit(client.height(), &p, 0, 0, beforeWidth, 0, 0);
        const int afterWidth = client.width() - thumbRight;
        if (m_pAfter && afterWidth > 0)
            m_pAfter->Blit(client.height(), &p, thumbRight, 0, afterWidth, thumbRight, 0);
    } else {
        const int thumbBottom = thumb.top() + thumb.height();
        const int beforeHeight = movingThumb ? thumbBottom : thumb.top();
        if (m_pBefore && beforeHeight > 0)
            m_pBefore->Blit(beforeHeight, &p, 0, 0, client.width(), 0, 0);
        const int afterHeight = client.height() - thumbBottom;
        if (m_pAfter && afterHeight > 0)
            m_pAfter->Blit(afterHeight, &p, 0, thumbBottom, client.width(), 0, thumbBottom);
    }
}

void CBitSlider::PlaceThumbWnd()
{
    if (!m_pThumb)
        return;
    const QRect thumb = GetThumbRect();
    if (orientation() == Qt::Horizontal)
        m_pThumb->move(thumb.left() + (thumb.width() - m_pThumb->width()) / 2, m_nThumbOffset);
    else
        m_pThumb->move(m_nThumbOffset, thumb.top() + (thumb.height() - m_pThumb->height()) / 2);
}

void CBitSlider::UpdatePositionText()
{
    m_strPosition = QString::asprintf("%d%%", value());
    setToolTip(m_strPosition);
}

void CBitSlider::paintEvent(QPaintEvent*)
{
    // Every repaint asked for since the last one is in this one: after it the screen shows the
    // channel for the thumb where it is now.
    m_rcThumbPainted = GetThumbRect();
    QPainter p(this);
    PaintChannel(p, true);
}

bool CBitSlider::event(QEvent* e)
{
    const bool handled = QSlider::event(e);
    // The style's polish of a slider clears the attribute; the channel still covers every pixel.
    if (e->type() == QEvent::Polish || e->type() == QEvent::StyleChange) setAttribute(Qt::WA_OpaquePaintEvent);
    return handled;
}

void CBitSlider::sliderChange(SliderChange change)
{
    PlaceThumbWnd();
    // A new value changes only the channel between the place the screen shows the thumb at and
    // its new place.
    if (change == SliderValueChange && !m_rcThumbPainted.isNull()) update(m_rcThumbPainted.united(GetThumbRect()));
    else QSlider::sliderChange(change);  // the whole slider
}

void CBitSlider::FlushScroll()
{
    // Sent after the action took effect, whether or not the position changed (as at an end).
    if (m_nPendingCode >= 0) {
        const int code = m_nPendingCode;
        m_nPendingCode = -1;
        emit Scroll(code, value());
    }
}

void CBitSlider::keyPressEvent(QKeyEvent* e)
{
    m_nPendingCode = -1;
    QSlider::keyPressEvent(e);
    FlushScroll();
}

void CBitSlider::resizeEvent(QResizeEvent* e)
{
    QSlider::resizeEvent(e);
    PlaceThumbWnd();
}

void CBitSlider::OnAction(int action)
{
    switch (action) {
    case SliderSingleStepAdd: m_nPendingCode = TB_LINEDOWN; break;
    case SliderSingleStepSub: m_nPendingCode = TB_LINEUP; break;
    case SliderPageStepAdd: m_nPendingCode = TB_PAGEDOWN; break;
    case SliderPageStepSub: m_nPendingCode = TB_PAGEUP; break;
    case SliderToMinimum: m_nPendingCode = TB_TOP; break;
    case SliderToMaximum: m_nPendingCode = TB_BOTTOM; break;
    case SliderMove: m_nPendingCode = TB_THUMBTRACK; break;
    default: m_nPendingCode = -1; break;
    }
}

void CBitSlider::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    const QPoint at = e->position().toPoint();
    const QRect thumb = GetThumbRect();
    const int pixel = orientation() == Qt::Horizontal ? at.x() : at.y();
    const int start = orientation() == Qt::Horizontal ? thumb.left() : thumb.top();
    const int len = ThumbLength();
    if (thumb.contains(at) || (pixel >= start && pixel < start + len)) {
        m_nDragOffset = pixel - start;
        setSliderDown(true);
    } else {
        // A press in the channel moves one page toward the press.
        const bool after = pixel >= start + len;
        triggerAction(after != invertedAppearance() ? SliderPageStepAdd : SliderPageStepSub);
        FlushScroll();
    }
    e->accept();
}

void CBitSlider::mouseMoveEvent(QMouseEvent* e)
{
    if (m_nDragOffset >= 0 && isSliderDown()) {
        const QPoint at = e->position().toPoint();
        const int pixel = (orientation() == Qt::Horizontal ? at.x() : at.y()) - m_nDragOffset;
        setSliderPosition(ValueFromPixel(pixel));
        FlushScroll();
    }
    UpdatePositionText();
    e->accept();
}

void CBitSlider::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    if (m_nDragOffset >= 0) {
        m_nDragOffset = -1;
        setSliderDown(false);
    }
    update();
    UpdatePositionText();
    e->accept();
}

void CBitSlider::wheelEvent(QWheelEvent* e)
{
    // The wheel never moves the slider, nor scrolls what lies under it.
    e->accept();
}
