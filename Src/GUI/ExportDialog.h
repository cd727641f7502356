#pragma once

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;

namespace Configuration {
class ConfigurationData;
class ExtraSettings;
struct Song;
}  // namespace Configuration

namespace GUI {

// File > Export Click Track: asks for the file and the length (bars or minutes), then writes
// the click track of the current settings with a progress bar that can cancel, and tells how
// fast it went. The file's folder and the length are kept in the second settings file
// ("export." keys). The metronome must not play meanwhile.
class ExportDialog final : public QDialog {
    Q_OBJECT
public:
    ExportDialog(const Configuration::ConfigurationData& settings, Configuration::ExtraSettings& extras,
                 QWidget* parent = nullptr);

    // Writes `song` (null: the settings' beat) with the settings' sounds; the song is kept
    // by the caller meanwhile.
    // A song that ends by itself is written whole: the length is not asked for.
    void SetSong(const Configuration::Song* song);
    // Asks, writes and reports; false when nothing was written.
    bool Run();

    QLineEdit* FileEdit() const { return _file; }
    QDoubleSpinBox* AmountBox() const { return _amount; }
    QComboBox* UnitBox() const { return _unit; }
    // Writes with what the controls hold (no questions); false when nothing was written.
    bool Export();

private:
    void Browse();

    const Configuration::ConfigurationData& _settings;
    Configuration::ExtraSettings& _extras;
    QLineEdit* _file = nullptr;
    QDoubleSpinBox* _amount = nullptr;
    QComboBox* _unit = nullptr;
    const Configuration::Song* _song = nullptr;
};

}  // namespace GUI
