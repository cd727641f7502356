#pragma once

#include <QImage>
#include <QPointer>

#include "GUI/Model/Circle.h"

class QWidget;

namespace GUI {

// The swatch beside a voice's sliders on the Sound Settings page: the voice's disc of the
// beat indicator, in its size and colour, drawn on the page's background.
class VisualColourControl {
public:
    static constexpr int Width = 22;
    static constexpr int Height = 22;

    VisualColourControl();
    virtual ~VisualColourControl();
    VisualColourControl(const VisualColourControl&) = delete;
    VisualColourControl& operator=(const VisualColourControl&) = delete;

    // Makes the swatch window on `page` at (x, y) page pixels, showing size 0..7 and colour
    // 0..11. False when the window or its image cannot be made.
    bool Initialise(QWidget* page, int id, int x, int y, int size, int colour);

    // A new size or colour index: the swatch is drawn again at once.
    void SetSize(int size);
    void SetColour(int colour);
    int Size() const { return _size; }
    int Colour() const { return _colour; }

    QWidget* Window() const { return _window; }
    // The swatch as it was last drawn (22 x 22).
    const QImage& Image() const { return _image; }

    // Draws the disc into the image over `background` (0x00RRGGBB).
    void Render(std::uint32_t background);

private:
    void Repaint();

    Circle _circle;
    QPointer<QWidget> _window;
    QImage _image;
    int _size = 0;
    int _colour = 0;
};

}  // namespace GUI
