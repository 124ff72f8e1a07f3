#pragma once
// The framework's plain bitmap button: a normal, a selected (pushed), a focused and a disabled
// image; the normal one is required, the others fall back to it.
#include <QAbstractButton>
#include <QImage>

class CBitmapButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CBitmapButton(QWidget* parent = nullptr);

    // Ids of 0 mean no image. False when the normal image cannot be loaded.
    bool LoadBitmaps(int normal, int selected = 0, int focused = 0, int disabled = 0);
    bool LoadImages(const QImage& normal, const QImage& selected, const QImage& focused, const QImage& disabled);
    // Sizes the button to its normal image (no move).
    void SizeToContent();

    const QImage& GetNormalImage() const { return m_bitmap; }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage m_bitmap;
    QImage m_bitmapSel;
    QImage m_bitmapFocus;
    QImage m_bitmapDisabled;
};
