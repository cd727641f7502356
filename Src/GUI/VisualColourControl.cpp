#include "GUI/VisualColourControl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "GUI/ControlId.h"
#include "GUI/Model/PixelImage.h"
#include "GUI/Model/VoicePalette.h"
#include "System/ILog.h"

namespace GUI {

namespace {

// The swatch's window: paints what its control draws.
class SwatchWindow final : public QWidget {
public:
    SwatchWindow(QWidget* parent, VisualColourControl& control) : QWidget(parent), _control(control)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        // The page's own background colour, so the disc's rim blends into what is around it.
        const QColor back = parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole())
                                           : palette().color(QPalette::Window);
        _control.Render(back.rgb() & 0x00FFFFFFu);
        QPainter painter(this);
        painter.drawImage(0, 0, _control.Image());
    }

private:
    VisualColourControl& _control;
};

}  // namespace

VisualColourControl::VisualColourControl() : _circle(32) {}

VisualColourControl::~VisualColourControl()
{
    delete _window.data();
}

bool VisualColourControl::Initialise(QWidget* page, int id, int x, int y, int size, int colour)
{
    delete _window.data();
    _window = new SwatchWindow(page, *this);
    _window->setGeometry(x, y, Width, Height);
    SetControlId(_window, id);
    _size = size;
    _colour = colour;
    _image = QImage(Width, Height, QImage::Format_RGB32);
    if (_image.isNull()) {
        System::Log().Write(System::Error,
                            "Unable to allocate memory for the swatch image in "
                            "GUI::VisualColourControl::Initialise");
        return false;
    }
    _window->show();
    return true;
}

void VisualColourControl::SetSize(int size)
{
    _size = size;
    Repaint();
}

void VisualColourControl::SetColour(int colour)
{
    _colour = colour;
    Repaint();
}

void VisualColourControl::Repaint()
{
    if (!_window)
        return;
    _window->update();
    _window->repaint();
}

void VisualColourControl::Render(std::uint32_t background)
{
    if (_image.isNull())
        return;
    _image.fill(0xFF000000u | background);
    PixelImage pixels;
    pixels.width = _image.width();
    pixels.height = _image.height();
    pixels.stride = static_cast<int>(_image.bytesPerLine() / 4);
    pixels.pixels = reinterpret_cast<std::uint32_t*>(_image.bits());
    // The rim blends into the colour the image holds near its corner.
    const std::uint32_t back = pixels.At(1, 1) & 0x00FFFFFFu;
    // The palette holds 0x00BBGGRR, the order the renderer blends in.
    const std::uint32_t backBgr = ColourToPixel(back);
    _circle.Draw(VoiceColour(_colour), pixels, backBgr, static_cast<float>(_size + 1), 11.0f, 11.0f, 2.0f, 1.0f);
}

}  // namespace GUI
