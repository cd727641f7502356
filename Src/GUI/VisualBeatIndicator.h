#pragma once

#include <QImage>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <mutex>

#include "Core/BeatHandOver.h"
#include "Core/IBeatIndicator.h"
#include "GUI/Model/Circle.h"
#include "Platform/LatestValue.h"
#include "Platform/Thread.h"

namespace GUI {

// The small square beside the tempo read-out that flashes a disc for the voice that has just
// sounded, in that voice's size and colour. Its own thread draws each flash: the metronome's
// timer thread only leaves the voice and the time its click is heard and wakes it, and the flash
// is shown then.
class VisualBeatIndicator final : public QWidget, public Core::IBeatIndicator {
    Q_OBJECT
public:
    static constexpr int Size = 32;

    explicit VisualBeatIndicator(QWidget* parent = nullptr);
    ~VisualBeatIndicator() override;

    // Places the square at (230, 76) in its parent.
    bool CreateVisualIndicatorWindow(QWidget* parent);

    void Prepare(const Configuration::ConfigurationData& settings) override;
    void Show(int voice, Core::Moment heardAt) override;
    void ShowCount(int count, Core::Moment heardAt) override;
    void Hide() override;

    bool Running() const { return _running.load(std::memory_order_acquire); }
    // A copy of the picture as it is now (for tests and the screenshot).
    QImage Picture() const;
    // Frames drawn by the thread since the start (for tests).
    int FramesDrawn() const { return _frames.load(std::memory_order_acquire); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Run(std::uint32_t seen);
    void HandOver(int shown, Core::Moment heardAt) noexcept;
    // Fills the picture with the background and, for a voice 0..11, draws its disc; for
    // FirstCount + n, the count-in's count n.
    void DrawFrame(int voice);
    static constexpr int FirstCount = 12;
    static constexpr int LastCount = 200;

    Circle _circle{Size};
    std::int32_t _sizes[12] = {};
    std::int32_t _colours[12] = {};
    QImage _image;
    mutable std::mutex _imageLock;  // the thread, Hide and paint each draw or read a whole frame
    std::uint32_t _background = 0;
    std::uint32_t _foreground = 0;
    Platform::Thread _thread;
    std::atomic<bool> _running{false};
    // What to show: the latest beat Show hands over, which the thread shows when it is heard.
    Platform::LatestValue<Core::BeatHandOver::Beat> _beat;
    std::atomic<int> _frames{0};
};

}  // namespace GUI
