#include "views/PreviewLayer.h"

#include <QPaintEvent>
#include <QPainter>

CPreviewLayer::CPreviewLayer(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void CPreviewLayer::Draw(QPoint at, const QImage& picture, QSize copy)
{
    const QSize client = parentWidget()->size();
    if (m_image.size() != client) {
        QImage grown(client, QImage::Format_ARGB32_Premultiplied);
        grown.fill(Qt::transparent);
        QPainter(&grown).drawImage(0, 0, m_image);
        m_image = grown;
    }
    setGeometry(QRect(QPoint(0, 0), client));
    QPainter p(&m_image);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(at, picture, QRect(QPoint(0, 0), copy.boundedTo(picture.size())));
    p.end();
    raise();
    show();
    update(QRect(at, copy));
}

void CPreviewLayer::Clear()
{
    hide();
    m_image = QImage();
}

void CPreviewLayer::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.drawImage(event->rect(), m_image, event->rect());
}
