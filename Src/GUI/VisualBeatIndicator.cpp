#include "GUI/VisualBeatIndicator.h"

#include <QPainter>

#include "Configuration/ConfigurationData.h"
#include "Core/HeardTime.h"
#include "GUI/ControlId.h"
#include "GUI/Model/VoicePalette.h"
#include "GUI/WindowScale.h"
#include "System/ILog.h"

namespace GUI {

VisualBeatIndicator::VisualBeatIndicator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("VisualBeatIndicator"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    _image = QImage(Size, Size, QImage::Format_RGB32);
    _background = palette().color(QPalette::Window).rgb() & 0xFFFFFF;
    _foreground = palette().color(QPalette::WindowText).rgb();
    _image.fill(_background);
}

VisualBeatIndicator::~VisualBeatIndicator()
{
    if (Running())
        Hide();
}

bool VisualBeatIndicator::CreateVisualIndicatorWindow(QWidget* parent)
{
    if (parent && parentWidget() != parent)
        setParent(parent);
    SetControlId(this, 1202);
    setGeometry(WindowScale::Scaled(230, 76, Size, Size));
    _background = palette().color(QPalette::Window).rgb() & 0xFFFFFF;
    {
        std::lock_guard<std::mutex> lock(_imageLock);
        _image.fill(_background);
    }
    show();
    return true;
}

void VisualBeatIndicator::Prepare(const Configuration::ConfigurationData& settings)
{
    if (Running())
        Hide();
    for (int i = 0; i < 12; ++i) {
        _sizes[i] = static_cast<std::int32_t>(settings.Size[i]);
        _colours[i] = static_cast<std::int32_t>(settings.Colour[i]);
    }
    _beat.Write({});
    _running.store(true, std::memory_order_release);
    // What the thread has seen is taken now: a Show made before the thread gets going counts.
    const std::uint32_t seen = _beat.Version();
    if (!_thread.Start([this, seen] { Run(seen); })) {
        _running.store(false, std::memory_order_release);
        System::ReportThreadStartError(_thread.StartError());
    }
}

void VisualBeatIndicator::HandOver(int shown, Core::Moment heardAt) noexcept
{
    // On the timer thread: a few stores and a wake, nothing that waits.
    _beat.Write({shown, heardAt});
}

void VisualBeatIndicator::Show(int voice, Core::Moment heardAt)
{
    HandOver(voice < 0 || voice > 11 ? -1 : voice, heardAt);
}

void VisualBeatIndicator::ShowCount(int count, Core::Moment heardAt)
{
    const int shown = FirstCount + count;
    if (count < 1 || shown > LastCount)
        return Show(-1, heardAt);
    HandOver(shown, heardAt);
}

void VisualBeatIndicator::Hide()
{
    _running.store(false, std::memory_order_release);
    _beat.Wake();
    _thread.Join();
    {
        std::lock_guard<std::mutex> lock(_imageLock);
        _image.fill(_background);
    }
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
}

void VisualBeatIndicator::Run(std::uint32_t seen)
{
    // Show the flash when its click is heard, not when it was scheduled.
    Core::HeardTime::ShowEachWhenSeen(_beat, seen, _running, [this](const Core::BeatHandOver::Beat& beat) {
        DrawFrame(beat.voice);
        _frames.fetch_add(1, std::memory_order_release);
        QMetaObject::invokeMethod(
            this, [this] { update(); }, Qt::QueuedConnection);
    });
}

void VisualBeatIndicator::DrawFrame(int voice)
{
    std::lock_guard<std::mutex> lock(_imageLock);
    _image.fill(_background);
    if (voice > FirstCount && voice <= LastCount) {
        // The count-in's count, as large as the square takes it.
        QPainter painter(&_image);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(voice - FirstCount < 10 ? Size * 3 / 4 : Size / 2);
        painter.setFont(font);
        painter.setPen(QColor::fromRgb(_foreground));
        painter.drawText(_image.rect(), Qt::AlignCenter, QString::number(voice - FirstCount));
        return;
    }
    if (voice < 0 || voice > 11)
        return;
    PixelImage pixels;
    pixels.width = _image.width();
    pixels.height = _image.height();
    pixels.stride = static_cast<int>(_image.bytesPerLine() / 4);
    pixels.pixels = reinterpret_cast<std::uint32_t*>(_image.bits());
    const float centreX = static_cast<float>(Size / 2);
    const float centreY = static_cast<float>(Size / 2);
    // Size 0..7 gives a radius of 2 * size - 1 on the 32-pixel square.
    const float radius = centreY - 2.0f * static_cast<float>(7 - _sizes[voice]) - 3.0f;
    const std::uint32_t background =
        ((_background >> 16) & 0xFF) | (_background & 0xFF00) | ((_background & 0xFF) << 16);
    _circle.Draw(VoiceColour(_colours[voice]), pixels, background, radius, centreX, centreY, 2.0f, 2.0f);
}

QImage VisualBeatIndicator::Picture() const
{
    std::lock_guard<std::mutex> lock(_imageLock);
    return _image.copy();
}

void VisualBeatIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    std::lock_guard<std::mutex> lock(_imageLock);
    // The square is drawn at its own size; a window laid out for larger fonts shows it larger.
    if (_image.size() == size()) {
        painter.drawImage(0, 0, _image);
    } else {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(rect(), _image);
    }
}

}  // namespace GUI
