#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace Configuration {
struct Song;
}

namespace GUI {

// A picture of a song on a time line: each section's bars as blocks (muted bars pale), its label
// above them, the tempo drawn as a curve below, and while the song plays a line at the place
// heard. A click on a section asks for playing from there.
class SongPicture final : public QWidget {
    Q_OBJECT
public:
    // An endless section is drawn this many bars long.
    static constexpr int EndlessBars = 4;
    // A section of more bars is drawn as one block.
    static constexpr int MostBarsDrawn = 256;

    explicit SongPicture(QWidget* parent = nullptr);

    // The song drawn (null: none); Refresh after it was edited.
    void SetSong(const Configuration::Song* song);
    void Refresh();
    void SetSelected(int section);
    // Where the listener is: section and bar (section < 0: nothing plays). Between two bars the
    // line moves on by the clock.
    void SetHeard(int section, int bar);

    // The section drawn at x (-1: none), and the place a section is drawn at.
    int SectionAt(int x) const;
    QRect SectionRect(int section) const;
    // Milliseconds from the song's start to the line drawn (-1: none).
    double LineMs() const;

    QSize sizeHint() const override { return {560, 150}; }
    QSize minimumSizeHint() const override { return {240, 110}; }

signals:
    void SectionClicked(int section);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    struct Bar {
        double startMs = 0;
        int section = 0;
        bool muted = false;
    };
    int X(double ms) const;
    double BarStartMs(int section, int bar) const;
    void PaintBars(QPainter& painter, const QRect& band) const;
    void PaintCurve(QPainter& painter, const QRect& area) const;

    const Configuration::Song* _song = nullptr;
    std::vector<double> _sectionStart;  // one more than sections: the end
    std::vector<Bar> _bars;
    double _lowTempo = 60;
    double _highTempo = 180;
    int _selected = -1;
    int _heardSection = -1;
    int _heardBar = 0;
    QElapsedTimer _sinceHeard;
    QTimer _moving;
};

}  // namespace GUI
