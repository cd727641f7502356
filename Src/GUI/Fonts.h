#pragma once

#include <QFont>

namespace GUI {

class Fonts {
public:
    // The desktop's menu font at `points` and `weight` (100 to 900, 400 normal), antialiased:
    // the font of the main window's buttons and labels, and of the tempo read-out.
    static QFont CreateScaledFont(int points, int weight);
};

}  // namespace GUI
