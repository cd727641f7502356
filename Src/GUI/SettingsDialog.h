#pragma once

#include <QDialog>
#include <QPointer>
#include <functional>

#include "GUI/AudioFilesDialog.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/IParentWindow.h"
#include "GUI/OptionsDialog.h"
#include "GUI/OutputPage.h"
#include "GUI/PresetsDialog.h"
#include "GUI/SoundSetupDialog.h"

class QLabel;
class QTabWidget;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

// The tabbed settings dialog: Options, Sound Settings, Audio Files, Presets and Output, an information
// line about the control under the mouse, OK and Close. The object lives as long as the main
// window; its window exists while the dialog is open.
class SettingsDialog final : public ControlSubClasser, public IParentWindow {
public:
    static constexpr int OkId = 1070;
    static constexpr int CloseId = 1072;
    static constexpr int TabsId = 1205;
    static constexpr int InformationId = 1073;
    static constexpr int TemplateId = 102;

    // `settingsReplaced` tells the main window that a preset replaced the live settings, so
    // that it shows their tempo and volume.
    SettingsDialog(Configuration::IConfiguration& configuration, std::function<void()> settingsReplaced);
    ~SettingsDialog() override;

    static constexpr int PageCount = 5;

    // Runs the dialog modally over `owner`, showing tab 0..4 first.
    void Run(QWidget* owner, int tab);
    // Makes the dialog window without running it (Run uses it; tests show it themselves).
    QDialog* Open(QWidget* owner, int tab);
    // Destroys the window.
    void Close();

    // OK: every page fills the live settings in turn; the dialog closes only when all accept.
    bool OnOk();
    void ShowTab(int index);

    void MouseOverControl(int id) override;
    void Notify(int code, std::intptr_t argument) override;
    AudioFilesDialog* GetAudioFilesPage(int index) override;
    std::intptr_t Request(int code, std::intptr_t argument) override;

    // The information text number of a control; -1 for a control without one.
    static int InformationNumber(int id);

    QDialog* Window() const { return _window; }
    QTabWidget* Tabs() const { return _tabs; }
    QString InformationText() const;
    TabDialog* CurrentPage() const { return _current; }
    OptionsDialog& Options() { return _options; }
    SoundSetupDialog& SoundSetup() { return _soundSetup; }
    AudioFilesDialog& AudioFiles() { return _audioFiles; }
    PresetsDialog& Presets() { return _presets; }
    OutputPage& Output() { return _output; }

private:
    // The pages fill `settings` in the order of OK; false when one refuses.
    // The steps of Open: the information line under the pages, the pages (`tab` shown) and the
    // keys that turn them.
    void MakeInformationLine(QDialog* dialog);
    void AddPages(QDialog* dialog, int tab);
    void AddPageKeys(QDialog* dialog);
    bool FillFromPages(Configuration::ConfigurationData& settings);
    TabDialog* Page(int index);

    TabDialog* _current = nullptr;
    OptionsDialog _options;
    SoundSetupDialog _soundSetup;
    AudioFilesDialog _audioFiles;
    PresetsDialog _presets;
    OutputPage _output;
    QPointer<QDialog> _window;
    QTabWidget* _tabs = nullptr;
    QLabel* _information = nullptr;
    Configuration::IConfiguration& _configuration;
    std::function<void()> _settingsReplaced;
};

}  // namespace GUI
