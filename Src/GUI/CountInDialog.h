#pragma once

#include <QDialog>

class QComboBox;
class QSpinBox;

namespace Configuration {
class ExtraSettings;
}

namespace Core {
class IMetronome;
struct CountIn;
}  // namespace Core

namespace GUI {

// The count-in before a run (its length and sound) and the visual latency offset, kept in the
// second settings file ("countin." and "latency." keys). OK stores and applies them: the
// count-in from the next start on, the offset at once.
class CountInDialog final : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* LatencyKey = "latency.visual_ms";

    CountInDialog(Core::IMetronome& metronome, Configuration::ExtraSettings& extras, QWidget* parent = nullptr);

    // Hands the stored settings to the metronome and the windows that show beats (at start).
    static void Apply(const Configuration::ExtraSettings& extras, Core::IMetronome& metronome);
    // The combo box row of a count-in, and back: off, 1 bar, 2 bars, 1 to 8 beats.
    static int Row(const Core::CountIn& countIn);
    static void FromRow(int row, Core::CountIn& countIn);

    QComboBox* LengthList() const { return _length; }
    QComboBox* SoundList() const { return _sound; }
    QSpinBox* VolumeBox() const { return _volume; }
    QSpinBox* LatencyBox() const { return _latency; }

    void accept() override;

private:
    Core::IMetronome& _metronome;
    Configuration::ExtraSettings& _extras;
    QComboBox* _length = nullptr;
    QComboBox* _sound = nullptr;
    QSpinBox* _volume = nullptr;
    QSpinBox* _latency = nullptr;
};

}  // namespace GUI
