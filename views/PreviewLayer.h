#pragma once
// Still pictures drawn over the main window (thumbnail pages, the frame strip, a single
// preview): a layer above the window's children that keeps what was drawn until it is
// cleared and lets the mouse through to what lies below.
#include <QImage>
#include <QWidget>

class CPreviewLayer : public QWidget {
public:
    explicit CPreviewLayer(QWidget* parent);

    // Copies the top-left `copy` of the picture to `at` (the parent's client coordinates).
    void Draw(QPoint at, const QImage& picture, QSize copy);
    // Removes every picture; the window below shows again.
    void Clear();
    // What the layer holds, transparent where nothing was drawn.
    const QImage& Picture() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};
