#include "GUI/WindowScale.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace GUI {

double WindowScale::Factor()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1.0;
    return std::max(1.0, screen->logicalDotsPerInchY() / 96.0);
}

int WindowScale::Scaled(int pixels)
{
    const double factor = Factor();
    return factor == 1.0 ? pixels : static_cast<int>(std::lround(pixels * factor));
}

QSize WindowScale::Scaled(QSize size)
{
    return QSize(Scaled(size.width()), Scaled(size.height()));
}

QRect WindowScale::Scaled(int x, int y, int width, int height)
{
    return QRect(Scaled(x), Scaled(y), Scaled(width), Scaled(height));
}

}  // namespace GUI
