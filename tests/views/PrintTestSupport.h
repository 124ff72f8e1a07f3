#pragma once
// Printing to PDF files in tests: a screen large enough for any window of the tests, a
// printer that writes a PDF, and the first page rendered back with pdftoppm and measured.
#include "TestScratch.h"
#include "views/PrintScreen.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <memory>

namespace printtest {

inline QString Scratch()
{
    return QString::fromStdString(TestScratchDir());
}

// Before the QApplication: an offscreen screen of 2560 x 1600, so windows wider than the
// 1024-pixel reference fit on it.
inline void UseLargeScreen()
{
    const QString config = Scratch() + "/screen.json";
    QFile f(config);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(R"({"screens":[{"name":"print","x":0,"y":0,"width":2560,"height":1600,"logicalDpi":96,)"
                R"("logicalBaseDpi":96,"dpr":1}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
}

inline std::unique_ptr<QPrinter> PdfPrinter(const QString& path, QPageLayout::Orientation orientation)
{
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageOrientation(orientation);
    printer->setFullPage(true);  // the page's own corner is the picture's origin
    return printer;
}

struct Page {
    QImage image;     // the page as rendered
    QRect printed;    // the bounding box of everything not white
    int pages = 0;
    QString title;
};

// Renders page 1 at `dpi` and reads the document's page count and title.
inline Page ReadBack(const QString& pdf, int dpi = 40)
{
    Page page;
    const QString base = pdf + "_page";
    QProcess::execute("pdftoppm", {"-r", QString::number(dpi), "-f", "1", "-l", "1", "-png", "-singlefile", pdf, base});
    page.image = QImage(base + ".png").convertToFormat(QImage::Format_RGB32);
    QProcess info;
    info.start("pdfinfo", {pdf});
    info.waitForFinished();
    for (const QString& line : QString::fromUtf8(info.readAllStandardOutput()).split('\n')) {
        if (line.startsWith("Pages:")) page.pages = line.mid(6).trimmed().toInt();
        if (line.startsWith("Title:")) page.title = line.mid(6).trimmed();
    }
    int left = page.image.width(), top = page.image.height(), right = -1, bottom = -1;
    for (int y = 0; y < page.image.height(); ++y)
        for (int x = 0; x < page.image.width(); ++x) {
            const QRgb c = page.image.pixel(x, y);
            if (qRed(c) > 245 && qGreen(c) > 245 && qBlue(c) > 245) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    if (right >= 0) page.printed = QRect(QPoint(left, top), QPoint(right, bottom));
    return page;
}

// The mean difference per channel between the printed picture and the window's picture
// scaled to it: small when the page holds that picture.
inline double Difference(const Page& page, const QImage& window)
{
    const QImage ours = window.scaled(page.printed.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                            .convertToFormat(QImage::Format_RGB32);
    const QImage printed = page.image.copy(page.printed);
    double sum = 0;
    for (int y = 0; y < ours.height(); ++y)
        for (int x = 0; x < ours.width(); ++x) {
            const QRgb a = ours.pixel(x, y), b = printed.pixel(x, y);
            sum += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
        }
    return sum / (3.0 * ours.width() * ours.height());
}

}  // namespace printtest
