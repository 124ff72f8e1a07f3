// The window's picture on paper: packed DIBs of every bit depth, the picture scaled onto wide
// and tall pages keeping its proportions (printed to PDF and rendered back), the failure box
// for a printer that cannot print, and a cancelled printer dialog that prints nothing.
#include "PrintTestSupport.h"

#include "platform/MessageBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace printtest;

namespace {

// A window whose picture shows which way up and round it was printed.
class Picture : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(30, 40, 160));
        p.fillRect(QRect(0, 0, width() / 2, height()), QColor(170, 20, 20));
        p.fillRect(QRect(0, 0, width(), height() / 4), QColor(20, 150, 40));
    }
};

struct Boxes {
    Boxes()
    {
        SetMessageBoxHandler([this](QWidget*, const QString& text, const QString& title, unsigned style) {
            shown.push_back({text, title, style});
            return IDOK;
        });
    }
    ~Boxes() { SetMessageBoxHandler({}); }
    struct Box {
        QString text, title;
        unsigned style;
    };
    std::vector<Box> shown;
};

class Print : public ::testing::Test {
protected:
    void TearDown() override { SetPrintSeam({}); }

    // Prints the window through the seam onto a PDF page of the orientation.
    QString PrintToPdf(QWidget* window, int mode, QPageLayout::Orientation orientation, const QString& name)
    {
        const QString pdf = Scratch() + "/" + name + ".pdf";
        QFile::remove(pdf);
        PrintSeam seam;
        seam.foregroundWindow = [window] { return window; };
        seam.choosePrinter = [&](QWidget*, bool, int, bool*) { return PdfPrinter(pdf, orientation); };
        SetPrintSeam(seam);
        CPrintScreen(QString(), "Viewer").PrintWindowImage(mode, 0, true);
        return pdf;
    }
};

TEST_F(Print, PictureKeepsItsProportionsOnWideAndTallPages)
{
    const auto portrait = QPageLayout::Portrait, landscape = QPageLayout::Landscape;
    // Window size, capture mode and page; the printed share of the page's width and height
    // (the window reference is 1024 x 768, the screen 2560 x 1600).
    struct Case {
        QSize window;
        int mode;
        QPageLayout::Orientation page;
        double width, height;
    } cases[] = {
        {{512, 384}, 1, landscape, 0.4714, 0.5},
        {{512, 384}, 1, portrait, 0.5, 0.2652},
        {{2000, 500}, 1, portrait, 1.0, 0.1767},   // wider than the page: full width
        {{2000, 500}, 1, landscape, 1.0, 0.3536},
        {{500, 1500}, 1, landscape, 0.2357, 1.0},  // taller than the page: full height
        {{500, 1500}, 1, portrait, 0.4714, 1.0},
        {{1280, 800}, 2, landscape, 0.5, 0.4419},  // the client area against the screen
    };
    for (const Case& c : cases) {
        const std::string what = std::to_string(c.window.width()) + "x" + std::to_string(c.window.height()) +
                                 (c.page == portrait ? " portrait" : " landscape") + " mode " + std::to_string(c.mode);
        SCOPED_TRACE(what);
        Picture window;
        window.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
        window.setGeometry(QRect(QPoint(40, 30), c.window));
        window.show();
        QCoreApplication::processEvents();
        const QImage picture = window.grab().toImage();

        const Page page = ReadBack(PrintToPdf(&window, c.mode, c.page, "proportions"));
        ASSERT_FALSE(page.image.isNull());
        EXPECT_EQ(page.pages, 1);
        EXPECT_EQ(page.title, "Viewer");
        EXPECT_LE(page.printed.left(), 1);
        EXPECT_LE(page.printed.top(), 1);
        EXPECT_NEAR(page.printed.width(), c.width * page.image.width(), 2.0);
        EXPECT_NEAR(page.printed.height(), c.height * page.image.height(), 2.0);
        EXPECT_LT(Difference(page, picture), 20.0);
    }
}

TEST_F(Print, ScreenCaptureAndUnknownModes)
{
    Picture window;
    window.setGeometry(100, 100, 400, 300);
    window.show();
    QCoreApplication::processEvents();
    // The whole screen, 2560 x 1600, on a portrait page: full width.
    const Page page = ReadBack(PrintToPdf(&window, 0, QPageLayout::Portrait, "screen"));
    EXPECT_NEAR(page.printed.width(), page.image.width(), 2.0);
    EXPECT_NEAR(page.printed.height(), page.image.width() / 1.6, 2.0);

    for (int mode : {-1, 3}) EXPECT_FALSE(QFile::exists(PrintToPdf(&window, mode, QPageLayout::Portrait, "none")));
}

TEST_F(Print, PrinterThatCannotPrintShowsTheFailureBox)
{
    Picture window;
    window.resize(300, 200);
    window.show();
    struct Case {
        QString failureText, expected;
        bool noPrinter;
    } cases[] = {
        {QString(), "Print Fail", false},  // the output cannot be opened
        {QString(), "Print Fail", true},   // no printer at all
        {"Drucken fehlgeschlagen", "Drucken fehlgeschlagen", false},
    };
    for (const Case& c : cases) {
        Boxes boxes;
        PrintSeam seam;
        seam.foregroundWindow = [&] { return &window; };
        seam.choosePrinter = [&](QWidget*, bool, int, bool* failed) -> std::unique_ptr<QPrinter> {
            if (c.noPrinter) {
                *failed = true;
                return nullptr;
            }
            return PdfPrinter(Scratch() + "/no/such/folder/out.pdf", QPageLayout::Portrait);
        };
        SetPrintSeam(seam);
        CPrintScreen(c.failureText, "VELMORA-21K").PrintWindowImage(1, 0, true);
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].text, c.expected);
        EXPECT_EQ(boxes.shown[0].title, "VELMORA-21K");
        EXPECT_EQ(boxes.shown[0].style, MB_ICONERROR);
    }
}

TEST_F(Print, CancelledDialogPrintsAndShowsNothing)
{
    Picture window;
    window.resize(300, 200);
    window.show();
    Boxes boxes;
    PrintSeam seam;
    seam.foregroundWindow = [&] { return &window; };  // the real printer dialog
    SetPrintSeam(seam);
    bool dialogSeen = false;
    QTimer::singleShot(100, [&] {
        if (auto* dlg = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
            dialogSeen = true;
            dlg->reject();
        }
    });
    CPrintScreen(QString(), "Viewer").PrintWindowImage(1, 0, true);
    EXPECT_TRUE(dialogSeen);
    EXPECT_TRUE(boxes.shown.empty());
}

std::uint32_t Le32(const QByteArray& b, int at)
{
    return std::uint8_t(b[at]) | std::uint8_t(b[at + 1]) << 8 | std::uint8_t(b[at + 2]) << 16 |
           std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

TEST(Dib, PackedAtEveryDepthWithPaddedBottomUpRows)
{
    struct Case {
        QImage::Format format;
        int bits, colours;
    } cases[] = {
        {QImage::Format_Mono, 1, 2},      {QImage::Format_Indexed8, 8, 256}, {QImage::Format_RGB555, 16, 0},
        {QImage::Format_RGB888, 24, 0},   {QImage::Format_RGB32, 32, 0},     {QImage::Format_ARGB32, 32, 0},
    };
    for (const Case& c : cases) {
        for (int width : {1, 5, 7, 33}) {
            SCOPED_TRACE("bits " + std::to_string(c.bits) + " width " + std::to_string(width));
            QImage source(width, 3, QImage::Format_RGB32);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < width; ++x) source.setPixel(x, y, qRgb(x * 40 % 256, y * 90, (x + y) % 2 * 255));
            const QImage image = source.convertToFormat(c.format);
            const QByteArray dib = CPrintScreen::CaptureWindowDIB(image, BI_RGB);
            const int stride = (c.bits * width + 31) / 32 * 4;
            ASSERT_EQ(dib.size(), 40 + 4 * c.colours + stride * 3);
            EXPECT_EQ(Le32(dib, 0), 40u);
            EXPECT_EQ(Le32(dib, 4), std::uint32_t(width));
            EXPECT_EQ(Le32(dib, 8), 3u);  // positive: bottom-up
            EXPECT_EQ(std::uint8_t(dib[12]) | std::uint8_t(dib[13]) << 8, 1);
            EXPECT_EQ(std::uint8_t(dib[14]) | std::uint8_t(dib[15]) << 8, c.bits);
            EXPECT_EQ(Le32(dib, 16), BI_RGB);
            EXPECT_EQ(Le32(dib, 20), std::uint32_t(stride * 3));
            EXPECT_EQ(DibBitsOffset(dib), 40 + 4 * c.colours);
            const QImage back = DibToImage(dib).convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(back, image.convertToFormat(QImage::Format_RGB32));
            if (c.bits == 24) {
                // The first row of bits is the picture's bottom row, blue first.
                const char* bits = dib.constData() + 40;
                const QRgb bottomLeft = image.pixel(0, 2);
                EXPECT_EQ(std::uint8_t(bits[0]), qBlue(bottomLeft));
                EXPECT_EQ(std::uint8_t(bits[2]), qRed(bottomLeft));
            }
        }
    }
}

TEST(Dib, RefusesBitFieldsAndOtherCompressions)
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (std::uint32_t compression : {BI_BITFIELDS, 1u, 2u}) EXPECT_TRUE(CPrintScreen::CaptureWindowDIB(image, compression).isEmpty());
    EXPECT_TRUE(CPrintScreen::CaptureWindowDIB(QImage(), BI_RGB).isEmpty());

    // A header saying BI_BITFIELDS has its three masks before the bits.
    QByteArray dib = CPrintScreen::CaptureWindowDIB(image, BI_RGB);
    dib[16] = char(BI_BITFIELDS);
    EXPECT_EQ(DibBitsOffset(dib), 52);
    EXPECT_TRUE(DibToImage(dib).isNull());
    EXPECT_EQ(DibBitsOffset(QByteArray(12, '\0')), -1);
    // Fewer bits than the header says.
    QByteArray cut = CPrintScreen::CaptureWindowDIB(image, BI_RGB);
    cut.chop(1);
    EXPECT_TRUE(DibToImage(cut).isNull());
}

}  // namespace

int main(int argc, char** argv)
{
    UseLargeScreen();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
