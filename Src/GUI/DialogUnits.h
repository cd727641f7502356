#pragma once

#include <QFont>
#include <QRect>

class QWidget;

namespace GUI {

// The dialogs' layouts are given in dialog units: a quarter of the dialog font's average
// character width across, an eighth of its height down. They become pixels here, through one
// conversion worked out once from the dialog font, so the layouts grow with the font and long
// texts of other languages keep fitting their controls.
class DialogUnits {
public:
    // The 8-point font every dialog is drawn with.
    static QFont DialogFont();
    // Pixels per 4 horizontal and per 8 vertical dialog units.
    static int BaseX();
    static int BaseY();

    static int X(int units);
    static int Y(int units);
    static QRect Rect(int x, int y, int width, int height);
    // Puts a control at its place in dialog units and gives it its identifier.
    static void Place(QWidget* control, int id, int x, int y, int width, int height);
};

}  // namespace GUI
