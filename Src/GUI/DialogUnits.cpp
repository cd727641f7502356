#include "GUI/DialogUnits.h"

#include <QFontMetrics>
#include <QWidget>

#include "GUI/ControlId.h"
#include "GUI/Fonts.h"

namespace GUI {

namespace {

struct BaseUnits {
    int x;
    int y;
};

const BaseUnits& Units()
{
    static const BaseUnits units = [] {
        const QFontMetrics metrics(DialogUnits::DialogFont());
        // The average width of the 52 letters, rounded, as the dialog manager measures it.
        const int letters =
            metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
        BaseUnits base{(letters / 26 + 1) / 2, metrics.height()};
        if (base.x < 1)
            base.x = 1;
        if (base.y < 1)
            base.y = 1;
        return base;
    }();
    return units;
}

// Rounded to the nearest pixel, as MulDiv rounds.
int Scale(int units, int base, int divisor)
{
    const long long product = static_cast<long long>(units) * base;
    return static_cast<int>(product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor));
}

}  // namespace

QFont DialogUnits::DialogFont()
{
    return Fonts::CreateScaledFont(8, 400);
}

int DialogUnits::BaseX()
{
    return Units().x;
}

int DialogUnits::BaseY()
{
    return Units().y;
}

int DialogUnits::X(int units)
{
    return Scale(units, Units().x, 4);
}

int DialogUnits::Y(int units)
{
    return Scale(units, Units().y, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height)
{
    return QRect(X(x), Y(y), X(width), Y(height));
}

void DialogUnits::Place(QWidget* control, int id, int x, int y, int width, int height)
{
    control->setGeometry(Rect(x, y, width, height));
    if (id != 0)
        SetControlId(control, id);
}

}  // namespace GUI
