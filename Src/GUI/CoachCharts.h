#pragma once

#include <QWidget>
#include <utility>
#include <vector>

#include "Core/TimingCoach.h"

namespace GUI {

// A take's pictures, drawn with the painter: the offset of every hit over the take's time (silent
// bars shaded, the drift as a line), the lean per bar position as bars, and, when given, the
// consistency of each day's runs from the practice log.
class CoachCharts final : public QWidget {
    Q_OBJECT
public:
    CoachCharts(QWidget* parent = nullptr);
    void SetResult(const Core::TimingCoach::Result& result);
    // (day label, standard deviation in ms) for each day, oldest first.
    void SetDays(std::vector<std::pair<QString, double>> days);
    QSize sizeHint() const override { return {720, 300}; }
    // A bar position as the charts name it: the beat, or beat.subdivision (1.1 1.2 2.1 ...).
    static QString PositionName(int position, int subdivisions);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DrawScatter(QPainter& painter, const QRectF& area) const;
    void DrawLean(QPainter& painter, const QRectF& area) const;
    void DrawDays(QPainter& painter, const QRectF& area) const;
    void DrawFrame(QPainter& painter, const QRectF& area, int title, double range) const;

    Core::TimingCoach::Result _result;
    std::vector<std::pair<QString, double>> _days;
};

}  // namespace GUI
