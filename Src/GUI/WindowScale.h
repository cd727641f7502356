#pragma once

#include <QRect>
#include <QSize>

namespace GUI {

// The main window is laid out in pixels, drawn for fonts at the desktop's usual 96 dots per
// inch. A desktop that sets larger fonts (a higher font resolution, without scaling the windows
// themselves) would leave those texts too little room; every place and size of the main window
// grows by the same factor instead, so what fitted at 96 dpi fits at any font size. At 96 dpi
// (and when the whole desktop is scaled, which leaves the logical resolution at 96) the factor
// is exactly 1 and nothing moves.
class WindowScale {
public:
    // The screen's logical dots per inch over 96, never below 1.
    static double Factor();
    static int Scaled(int pixels);
    static QSize Scaled(QSize size);
    static QRect Scaled(int x, int y, int width, int height);
};

}  // namespace GUI
