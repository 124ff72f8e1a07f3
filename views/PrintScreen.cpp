#include "views/PrintScreen.h"

#include "platform/MessageBox.h"

#include <QApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QScreen>
#include <QWidget>
#include <cstring>
#include <utility>

namespace {

constexpr int kHeaderSize = 40;
// The reference page of the window capture: the screen the design was drawn for.
constexpr QSize kWindowReference(1024, 768);

std::unique_ptr<QPrinter> ChooseRealPrinter(QWidget* owner, bool showDialog, int orientation, bool* failed)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setCopyCount(1);
    if (showDialog) {
        QPrintDialog dlg(printer.get(), owner);
        if (dlg.exec() != QDialog::Accepted) return nullptr;  // cancelled: nothing to say
    } else {
        const QPrinterInfo info = QPrinterInfo::defaultPrinter();
        if (info.isNull()) {
            *failed = true;
            return nullptr;
        }
        printer->setPrinterName(info.printerName());
        printer->setPageOrientation(orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait);
    }
    return printer;
}

PrintSeam& Seam()
{
    static PrintSeam seam;
    return seam;
}

void Put32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = char(v >> (8 * i));
}
void Put16(char* p, std::uint16_t v)
{
    p[0] = char(v);
    p[1] = char(v >> 8);
}
std::uint32_t Get32(const char* p)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | std::uint8_t(p[i]);
    return v;
}
std::uint16_t Get16(const char* p) { return std::uint16_t(std::uint8_t(p[0]) | std::uint8_t(p[1]) << 8); }

// The image format whose rows are a DIB's rows of that bit count, byte for byte.
QImage::Format DibFormat(int bitCount)
{
    switch (bitCount) {
    case 1: return QImage::Format_Mono;
    case 8: return QImage::Format_Indexed8;
    case 16: return QImage::Format_RGB555;
    case 24: return QImage::Format_BGR888;
    case 32: return QImage::Format_RGB32;
    default: return QImage::Format_Invalid;
    }
}

int DibStride(int bitCount, int width) { return (bitCount * width + 31) / 32 * 4; }

}  // namespace

PrintSeam SetPrintSeam(PrintSeam seam) { return std::exchange(Seam(), std::move(seam)); }

CPrintScreen::CPrintScreen(const QString& failureText, const QString& title)
    : m_strFailure(failureText.isNull() ? QStringLiteral("Print Fail") : failureText), m_strTitle(title)
{
}

void CPrintScreen::ShowFailure() const { ShowMessageBox(nullptr, m_strFailure, m_strTitle, MB_ICONERROR); }

void CPrintScreen::PrintWindowImage(int captureMode, int orientation, bool showDialog)
{
    if (captureMode < 0 || captureMode > 2) return;
    QWidget* window = Seam().foregroundWindow ? Seam().foregroundWindow() : QApplication::activeWindow();
    QScreen* screen = window ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect screenRect = screen->geometry();

    QImage capture;
    QSize reference = screenRect.size();
    if (captureMode == 0) {
        capture = screen->grabWindow(0).toImage();
    } else {
        if (!window) return;
        window = window->window();
        if (!screenRect.contains(window->frameGeometry())) {
            // Partly off the screen: brought to the middle first (its size kept) and redrawn.
            QRect r = window->frameGeometry();
            r.moveCenter(screen->availableGeometry().center());
            window->move(r.topLeft());
            window->repaint();
        }
        // What of the window is on the screen, in the window's own coordinates.
        const QRect shown = QRect(window->mapToGlobal(QPoint(0, 0)), window->size()).intersected(screenRect);
        if (shown.isEmpty()) return;
        capture = window->grab(QRect(window->mapFromGlobal(shown.topLeft()), shown.size())).toImage();
        if (captureMode == 1) reference = kWindowReference;
    }
    if (capture.isNull() || reference.isEmpty()) return;

    bool failed = false;
    std::unique_ptr<QPrinter> printer = Seam().choosePrinter
                                            ? Seam().choosePrinter(window, showDialog, orientation, &failed)
                                            : ChooseRealPrinter(window, showDialog, orientation, &failed);
    if (!printer) {
        if (failed) ShowFailure();
        return;
    }
    printer->setDocName(m_strTitle);
    // A printer that cannot take the picture: not valid, or its output cannot be opened.
    QPainter painter;
    if (!printer->isValid() || !painter.begin(printer.get())) {
        ShowFailure();
        return;
    }
    const int pageW = printer->width(), pageH = printer->height();
    painter.fillRect(QRect(0, 0, pageW, pageH), Qt::white);

    // The picture's share of the page, its proportions kept.
    const double a = double(reference.width()) / reference.height();
    const double b = double(pageW) / pageH;
    double sx, sy;
    if (b >= a) {
        sx = double(capture.width()) / reference.width() * (a / b);
        sy = double(capture.height()) / reference.height();
    } else {
        sx = double(capture.width()) / reference.width();
        sy = double(capture.height()) / reference.height() * (b / a);
    }
    if (sx > 1) {
        sy /= sx;
        sx = 1;
    }
    if (sy > 1) {
        sx /= sy;
        sy = 1;
    }
    const QRect printed(0, 0, int(pageW * sx), int(pageH * sy));

    const QImage picture = DibToImage(CaptureWindowDIB(capture, BI_RGB));
    painter.drawImage(printed, picture);
    painter.end();
}

QByteArray CPrintScreen::CaptureWindowDIB(const QImage& bitmap, std::uint32_t compression, const QVector<QRgb>* palette)
{
    if (compression != BI_RGB || bitmap.isNull()) return {};
    const int bitCount = bitmap.depth() > 32 ? 32 : bitmap.depth();
    const QImage::Format format = DibFormat(bitCount);
    if (format == QImage::Format_Invalid) return {};
    const QImage rows = bitmap.format() == format ? bitmap : bitmap.convertToFormat(format);

    const int colours = bitCount <= 8 ? 1 << bitCount : 0;
    const int width = rows.width(), height = rows.height();
    const int stride = DibStride(bitCount, width);
    const qsizetype size = qsizetype(stride) * height;
    QByteArray dib(kHeaderSize + colours * 4 + size, '\0');
    char* h = dib.data();
    Put32(h, kHeaderSize);
    Put32(h + 4, std::uint32_t(width));
    Put32(h + 8, std::uint32_t(height));  // positive: bottom-up rows
    Put16(h + 12, 1);
    Put16(h + 14, std::uint16_t(bitCount));
    Put32(h + 16, compression);
    Put32(h + 20, std::uint32_t(size));

    const QVector<QRgb> table = palette && !palette->isEmpty() ? *palette : rows.colorTable();
    for (int i = 0; i < colours && i < table.size(); ++i) {
        char* e = h + kHeaderSize + 4 * i;
        e[0] = char(qBlue(table[i]));
        e[1] = char(qGreen(table[i]));
        e[2] = char(qRed(table[i]));
    }
    char* bits = h + kHeaderSize + colours * 4;
    const int rowBytes = (bitCount * width + 7) / 8;
    for (int y = 0; y < height; ++y)
        std::memcpy(bits + qsizetype(height - 1 - y) * stride, rows.constScanLine(y), std::size_t(rowBytes));
    return dib;
}

int DibBitsOffset(const QByteArray& dib)
{
    if (dib.size() < kHeaderSize || Get32(dib.constData()) != kHeaderSize) return -1;
    const int bitCount = Get16(dib.constData() + 14);
    const std::uint32_t compression = Get32(dib.constData() + 16);
    std::uint32_t colours = Get32(dib.constData() + 32);  // the count in use, 0 for all
    if (bitCount > 8) colours = 0;
    else if (colours == 0 || colours > (1u << bitCount)) colours = 1u << bitCount;
    return kHeaderSize + int(colours) * 4 + (compression == BI_BITFIELDS ? 12 : 0);
}

QImage DibToImage(const QByteArray& dib)
{
    const int offset = DibBitsOffset(dib);
    if (offset < 0 || Get32(dib.constData() + 16) != BI_RGB) return {};
    const auto width = std::int32_t(Get32(dib.constData() + 4));
    const auto height = std::int32_t(Get32(dib.constData() + 8));
    const int bitCount = Get16(dib.constData() + 14);
    const QImage::Format format = DibFormat(bitCount);
    const bool bottomUp = height > 0;
    const int rowsCount = bottomUp ? height : -height;
    if (format == QImage::Format_Invalid || width <= 0 || width > 1 << 15 || rowsCount == 0 || rowsCount > 1 << 15)
        return {};
    const int stride = DibStride(bitCount, width);
    if (dib.size() < offset + qsizetype(stride) * rowsCount) return {};

    QImage image(width, rowsCount, format);
    if (bitCount <= 8) {
        QVector<QRgb> table(1 << bitCount);
        for (int i = 0; i < table.size() && kHeaderSize + 4 * i + 3 < offset; ++i) {
            const char* e = dib.constData() + kHeaderSize + 4 * i;
            table[i] = qRgb(std::uint8_t(e[2]), std::uint8_t(e[1]), std::uint8_t(e[0]));
        }
        image.setColorTable(table);
    }
    const int rowBytes = (bitCount * width + 7) / 8;
    for (int y = 0; y < rowsCount; ++y) {
        const int source = bottomUp ? rowsCount - 1 - y : y;
        std::memcpy(image.scanLine(y), dib.constData() + offset + qsizetype(source) * stride, std::size_t(rowBytes));
    }
    return image;
}
