#include "controls/BitWnd.h"

#include "controls/BitmapStrip.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

CBitWnd::CBitWnd(QWidget* parent) : QWidget(parent)
{
    // The window class's black brush shows wherever no frame is drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    setGeometry(0, 0, 0, 0);
}

CBitWnd::~CBitWnd()
{
    if (m_bOwnsStrip)
        delete m_pStrip;
}

void CBitWnd::SetStrip(CBitmapStrip* strip, bool owns)
{
    if (strip == m_pStrip) {
        m_bOwnsStrip = owns ? 1 : 0;
        return;
    }
    if (m_bOwnsStrip)
        delete m_pStrip;
    m_pStrip = strip;
    m_bOwnsStrip = owns ? 1 : 0;
    if (m_pStrip)
        setGeometry(0, 0, m_pStrip->GetFrameWidth(), m_pStrip->GetFrameHeight());
    update();
}

void CBitWnd::SetBitCursor(const QCursor& cursor)
{
    m_bHasCursor = true;
    setCursor(cursor);
}

std::uint32_t CBitWnd::FrameCount() const { return m_pStrip ? m_pStrip->GetFrameCount() : 0; }

void CBitWnd::SetFrame(int frame)
{
    if (frame != m_nFrame) {
        m_nFrame = frame;
        update();
    }
}

void CBitWnd::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_pStrip)
        m_pStrip->DrawFrame(m_nFrame, &p);
}

void CBitWnd::Forward(QMouseEvent* e)
{
    QWidget* parent = parentWidget();
    if (!m_bForwardMouse || !parent)
        return;
    const QPointF at = mapToParent(e->position());
    QMouseEvent copy(e->type(), at, e->scenePosition(), e->globalPosition(), e->button(), e->buttons(),
                     e->modifiers());
    QCoreApplication::sendEvent(parent, &copy);
}

void CBitWnd::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_bTracking) {
        // Hover tracking with a 1 ms hover time: the hover follows the first move at once.
        m_bTracking = 1;
        OnMouseHover();
    }
    Forward(e);
}

void CBitWnd::OnMouseHover()
{
    if (m_bLatched)
        SetFrame(FramePressed);
    else if (FrameCount() > 1)
        SetFrame(FrameHover);
}

void CBitWnd::leaveEvent(QEvent*)
{
    SetFrame(m_bLatched && FrameCount() > 1 ? FramePressed : FrameNormal);
    m_bTracking = 0;
}

void CBitWnd::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    SetFrame(!m_bLatched && FrameCount() > 2 ? FramePressed : FrameNormal);
    if (m_bToggle)
        m_bLatched = m_bLatched ? 0 : 1;
    if (m_bCommandOnPress)
        emit Command(m_nControlId);
    Forward(e);
}

void CBitWnd::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    if (!m_bLatched)
        SetFrame(FrameCount() > 1 ? FrameHover : FrameNormal);
    if (!m_bCommandOnPress)
        emit Command(m_nControlId);
    Forward(e);
}
