#include "GUI/BigFlash.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <utility>

#include "Configuration/ConfigurationData.h"
#include "Configuration/ExtraSettings.h"
#include "Core/HeardTime.h"
#include "GUI/AccessibleNames.h"
#include "GUI/AccessibleTexts.h"
#include "GUI/ControlId.h"
#include "GUI/LanguageTexts.h"
#include "GUI/Model/FlashFace.h"
#include "GUI/Model/VoicePalette.h"
#include "GUI/StageTexts.h"
#include "System/ILanguage.h"
#include "System/ILog.h"

namespace GUI {

namespace {

constexpr int DefaultWidth = 640;
constexpr int DefaultHeight = 480;
constexpr int MinimumSide = 120;

QColor Colour(std::uint32_t rgb)
{
    return QColor::fromRgb(static_cast<QRgb>(rgb));
}

}  // namespace

BigFlash::BigFlash() : QWidget(nullptr, Qt::Window)
{
    setObjectName(QStringLiteral("BigFlash"));
    GUI::SetControlId(this, ControlId);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(MinimumSide, MinimumSide);
    setFocusPolicy(Qt::StrongFocus);
    // Read as its title and the beat it shows; asked when read, so the beats themselves send
    // nothing to assistive technology.
    AccessibleNames::ExposeText(this, QAccessible::Window, [this] {
        if (_number <= 0)
            return windowTitle();
        return windowTitle() + QStringLiteral(": ") +
            LanguageTexts::Text(System::CurrentLanguage().GetText(AccessibleTexts::BeatOfBar)).arg(_number).arg(_beats);
    });
    for (int voice = 0; voice < 12; ++voice)
        _colours[voice] = FlashFace::Rgb(VoiceColour(voice));
    _dimTimer = new QTimer(this);
    _dimTimer->setSingleShot(true);
    connect(_dimTimer, &QTimer::timeout, this, [this] {
        _lit = 0;
        update();
    });
}

BigFlash::~BigFlash()
{
    Stop();
}

void BigFlash::Open()
{
    const Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    setWindowTitle(LanguageTexts::Text(System::CurrentLanguage().GetText(StageTexts::FlashTitle)));
    ShowMuted(_muted);
    if (!isVisible()) {
        resize(static_cast<int>(extras.Number("flash.width", DefaultWidth, MinimumSide, 16384)),
               static_cast<int>(extras.Number("flash.height", DefaultHeight, MinimumSide, 16384)));
        if (extras.Flag("flash.fullscreen", false))
            showFullScreen();
        else
            showNormal();
    }
    raise();
    activateWindow();
    if (!Following()) {
        _running.store(true, std::memory_order_release);
        const std::uint32_t seen = _pulse.Version();
        if (!_thread.Start([this, seen] { Run(seen); })) {
            _running.store(false, std::memory_order_release);
            System::ReportThreadStartError(_thread.StartError());
        }
    }
}

void BigFlash::Stop()
{
    if (!Following())
        return;
    _running.store(false, std::memory_order_release);
    _pulse.Wake();
    _thread.Join();
}

void BigFlash::Pulse(const Core::BeatPulse& pulse) noexcept
{
    // On the timer thread: a few stores and a wake, nothing that waits. Only this thread writes.
    if (pulse.beat >= 0)
        _latestBeat.Write({pulse.beat, pulse.beats});
    _pulse.Write(pulse);
}

QString BigFlash::LatestBeatText() const
{
    const BarBeat latest = _latestBeat.Read();
    if (latest.beat < 0 || latest.beats <= 0)
        return {};
    return LanguageTexts::Text(System::CurrentLanguage().GetText(AccessibleTexts::BeatOfBar))
        .arg(latest.beat + 1)
        .arg(latest.beats);
}

void BigFlash::Run(std::uint32_t seen)
{
    // Shown when its click is heard (moved by the visual latency offset), as the small
    // indicator does.
    Core::HeardTime::ShowEachWhenSeen(_pulse, seen, _running, [this](const Core::BeatPulse& pulse) {
        QMetaObject::invokeMethod(
            this, [this, pulse] { Light(pulse); }, Qt::QueuedConnection);
    });
}

void BigFlash::TakeColours(const Configuration::ConfigurationData& settings)
{
    for (int voice = 0; voice < 12; ++voice)
        _colours[voice] = FlashFace::Rgb(VoiceColour(static_cast<int>(settings.Colour[voice])));
}

void BigFlash::Light(const Core::BeatPulse& pulse)
{
    ++_shown;
    _beats = pulse.beats;
    // Lit at most half the time to the click before, so that fast beats still flash.
    const std::int64_t since =
        std::chrono::duration_cast<std::chrono::milliseconds>(pulse.heardAt - _lastHeardAt).count() / 2;
    const auto litFor = [&](int most) { return since > 0 && since < most ? static_cast<int>(since) : most; };
    _lastHeardAt = pulse.heardAt;
    if (pulse.beat >= 0) {
        _beat = pulse.beat;
        _number = pulse.beat + 1;
        // The accent in voice 1's colour, every other beat in its own voice's.
        const int voice = pulse.beat == 0 ? 0 : pulse.voice;
        _litColour = _colours[voice >= 0 && voice < 12 ? voice : 1];
        _lit = 1;
        _dimTimer->start(litFor(BeatLitMs));
    } else if (_lit != 1) {
        // A subdivision does not cut a beat's light short.
        _litColour = _colours[pulse.voice >= 0 && pulse.voice < 12 ? pulse.voice : 3];
        _lit = 2;
        _dimTimer->start(litFor(SubdivisionLitMs));
    }
    update();
}

void BigFlash::Clear()
{
    _dimTimer->stop();
    _lit = 0;
    _number = 0;
    _beat = -1;
    _beats = 0;
    update();
}

void BigFlash::ShowMuted(bool muted)
{
    _muted = muted;
    QString title = LanguageTexts::Text(System::CurrentLanguage().GetText(StageTexts::FlashTitle));
    if (muted)
        title += QStringLiteral(" (") + LanguageTexts::Text(System::CurrentLanguage().GetText(StageTexts::Muted)) +
            QLatin1Char(')');
    setWindowTitle(title);
    update();
}

void BigFlash::ToggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
    Configuration::GetExtraSettings().SetFlag("flash.fullscreen", isFullScreen());
}

void BigFlash::SaveGeometry()
{
    if (isFullScreen() || !isVisible())
        return;
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.SetNumber("flash.width", width());
    extras.SetNumber("flash.height", height());
}

void BigFlash::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_F11: ToggleFullScreen(); break;
    case Qt::Key_Escape:
        // Escape leaves full screen first, then the window.
        if (isFullScreen())
            ToggleFullScreen();
        else
            close();
        break;
    default:
        if (event->modifiers() == Qt::NoModifier && _forward && _forward(event->key()))
            break;
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void BigFlash::closeEvent(QCloseEvent* event)
{
    SaveGeometry();
    Stop();
    Clear();
    event->accept();
}

void BigFlash::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF area = rect();
    const std::uint32_t background = _lit == 1 ? _litColour : FlashFace::Dark;
    painter.fillRect(area, Colour(background));
    const FlashFace::Layout layout =
        FlashFace::Arrange(static_cast<float>(area.width()), static_cast<float>(area.height()), _beats,
                           FlashFace::Digits(std::max(_number, 1)));

    if (_lit == 2) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Colour(_litColour));
        painter.drawEllipse(QPointF(layout.numberX, layout.numberY), layout.pulseRadius, layout.pulseRadius);
    }
    if (_number > 0) {
        // Lit, the number stands out from the colour; dark, it stays in the beat's colour, dimmed.
        const std::uint32_t ink = _lit == 1 ? FlashFace::TextOn(background)
            : _lit == 2                     ? FlashFace::TextOn(_litColour)
                                            : FlashFace::Dim(_beat == 0 ? _colours[0] : 0xFFFFFF, 70);
        QFont font = this->font();
        font.setPixelSize(std::max(1, static_cast<int>(layout.numberSize)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(Colour(ink));
        const QRectF box(0, layout.numberY - layout.numberSize, area.width(), 2 * layout.numberSize);
        painter.drawText(box, Qt::AlignCenter, QString::number(_number));
    }
    for (int dot = 0; dot < layout.dots; ++dot) {
        const bool current = dot == _beat;
        const std::uint32_t rest = _lit == 1 ? FlashFace::TextOn(background) : 0x808080;
        painter.setPen(Qt::NoPen);
        painter.setBrush(
            Colour(current ? (_lit == 1 ? FlashFace::TextOn(background) : 0xFFFFFF) : FlashFace::Dim(rest, 45)));
        const float radius = current ? layout.dotRadius : layout.dotRadius * 0.6f;
        painter.drawEllipse(QPointF(layout.firstDotX + static_cast<float>(dot) * layout.dotStep, layout.dotY), radius,
                            radius);
    }
    if (_muted) {
        // A crossed-out loudspeaker would need an icon; the word reads from afar as well.
        QFont font = this->font();
        font.setPixelSize(std::max(12, height() / 24));
        painter.setFont(font);
        painter.setPen(Colour(_lit == 1 ? FlashFace::TextOn(background) : 0xC0C0C0));
        painter.drawText(area.adjusted(8, 4, -8, -4), Qt::AlignTop | Qt::AlignRight,
                         LanguageTexts::Text(System::CurrentLanguage().GetText(StageTexts::Muted)));
    }
}

}  // namespace GUI
