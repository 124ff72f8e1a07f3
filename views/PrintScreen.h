#pragma once
// Printing a picture of the program's window on one page: the window (or the screen) is
// captured, a printer is chosen, the picture is scaled to the page keeping its proportions and
// printed. The printer and the window come through a seam so tests print to a PDF file.
#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVector>
#include <cstdint>
#include <functional>
#include <memory>

class QPrinter;
class QWidget;

inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

struct PrintSeam {
    // The printer, from the dialog (showDialog) or the default one with the orientation forced
    // (1 portrait, 2 landscape, anything else portrait). Null with *failed false when the user
    // cancelled, with *failed true when no printer could be had.
    std::function<std::unique_ptr<QPrinter>(QWidget* owner, bool showDialog, int orientation, bool* failed)>
        choosePrinter;
    // The window in front, captured by capture modes 1 and 2.
    std::function<QWidget*()> foregroundWindow;
};
// Replaces the real printer choice and foreground window (an empty member keeps the real one);
// returns the seam in use before.
PrintSeam SetPrintSeam(PrintSeam seam);

class CPrintScreen {
public:
    // A null failure text gives "Print Fail"; the title is the main window's caption, the
    // failure box's title and the print job's name.
    CPrintScreen(const QString& failureText, const QString& title);
    virtual ~CPrintScreen() = default;

    // captureMode 0 the screen, 1 the window in front (the program's), 2 that window's client
    // area; any other mode prints nothing.
    void PrintWindowImage(int captureMode, int orientation, bool showDialog);

    // A packed DIB of the bitmap: 40-byte header, colour table (2^bits entries of 4 bytes, none
    // above 8 bits a pixel), then the rows bottom up, each padded to 4 bytes. The palette gives
    // the colour table of an indexed bitmap (else its own). Empty for BI_BITFIELDS or any
    // compression other than BI_RGB, and for a null bitmap.
    static QByteArray CaptureWindowDIB(const QImage& bitmap, std::uint32_t compression,
                                       const QVector<QRgb>* palette = nullptr);

    const QString& FailureText() const { return m_strFailure; }
    const QString& Title() const { return m_strTitle; }

private:
    void ShowFailure() const;

    QString m_strFailure;
    QString m_strTitle;
};

// Where a packed DIB's pixel bits begin: after its header and colour table, and 12 bytes of
// masks more when the header says BI_BITFIELDS; -1 for bytes that are no DIB.
int DibBitsOffset(const QByteArray& dib);
// The picture of a packed BI_RGB DIB; null for anything else or a DIB shorter than it says.
QImage DibToImage(const QByteArray& dib);
