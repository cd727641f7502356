#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

namespace GUI {

// The large tempo read-out: the number in bold digits with a small label ("bpm") after it, on
// a background picture of 200 x 80 pixels (larger, with the main window, for larger fonts).
class BeatsPerMinuteDisplay final : public QWidget {
    Q_OBJECT
public:
    static constexpr int Width = 200;
    static constexpr int Height = 80;
    static constexpr int LabelCapacity = 15;
    // How far the digits move down while a caption shows above them.
    static constexpr int CaptionShift = 6;

    explicit BeatsPerMinuteDisplay(QWidget* parent = nullptr);

    // Places the read-out at (10, 70) in its parent with the tempo to show first.
    bool CreateBeatsPerMinuteDisplay(QWidget* parent, int tempo);
    // Shows a new tempo; it is painted before this returns.
    void SetTempo(int tempo);
    int Tempo() const { return _tempo; }
    // Takes a new label; a label longer than 15 characters is cut to 15.
    void UpdateLabel(const QString& label);
    QString Label() const { return _label; }
    // A line above the digits (the section and bar of a song that plays); empty: none.
    void SetCaption(const QString& caption);
    QString Caption() const { return _caption; }

    // Where the text goes: the digits' and label's top edges, and the digits' left edge for a
    // number `digitsWidth` wide.
    int DigitTop() const { return _digitTop; }
    int LabelTop() const { return _labelTop; }
    int DigitLeft(int digitsWidth) const;
    const QFont& DigitFont() const { return _digitFont; }
    const QFont& LabelFont() const { return _labelFont; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Puts the digits in the middle of the height and the label's baseline on the digits'.
    void ComputeTextPositions();

    QFont _digitFont;
    QFont _labelFont;
    QImage _background;
    int _tempo = 120;
    int _digitTop = 0;
    int _labelTop = 0;
    QString _label;
    QString _caption;
};

}  // namespace GUI
