#pragma once

#include <QWidget>
#include <deque>

namespace GUI {

// The live strip of the timing coach: each hit as a mark left (early) or right (late) of the
// beat line, the newest largest, and its offset in big type, readable from a music stand.
class CoachStrip final : public QWidget {
    Q_OBJECT
public:
    static constexpr double RangeMs = 50;  // the strip's half width
    static constexpr std::size_t Kept = 16;

    CoachStrip(QWidget* parent = nullptr);
    // A hit `offsetMs` off its grid position (negative: early); `silent` in a muted bar.
    void AddHit(double offsetMs, bool silent);
    void Clear();
    QSize sizeHint() const override { return {640, 160}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Mark {
        double offsetMs;
        bool silent;
    };
    std::deque<Mark> _marks;
};

}  // namespace GUI
