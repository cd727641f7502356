#include "GUI/Fonts.h"

#include <QApplication>

namespace GUI {

QFont Fonts::CreateScaledFont(int points, int weight)
{
    QFont font = QApplication::font("QMenu");
    font.setPointSize(points);
    font.setWeight(static_cast<QFont::Weight>(weight < 100 ? 100 : weight > 900 ? 900 : weight));
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

}  // namespace GUI
