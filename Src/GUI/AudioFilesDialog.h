#pragma once

#include <QString>
#include <functional>

#include "Configuration/ConfigurationData.h"
#include "GUI/ControlSubClasser.h"
#include "GUI/TabDialog.h"

class QLineEdit;

namespace Configuration {
class IConfiguration;
}

namespace GUI {

class IParentWindow;

// The Audio Files tab: the twelve WAV files the audio-file sound source plays, each with a
// chooser; the chosen files are checked when the settings are saved.
class AudioFilesDialog final : public ControlSubClasser, public TabDialog {
public:
    static constexpr int NumVoices = Configuration::ConfigurationData::NumVoices;
    static constexpr int FirstEditId = 1290;
    static constexpr int FirstButtonId = 1306;
    static constexpr int GroupId = 1055;
    static constexpr int TemplateId = 113;
    static constexpr int MaxPathLength = Configuration::ConfigurationData::FileCapacity - 1;

    // The check of one file: a result code of the audio-file check (0 usable, 6 usable but
    // large, others refuse).
    using FileCheck = std::function<int(const char16_t* path)>;
    // The chooser: given the initial folder (empty for none), the chosen path, or empty.
    using FileChooser = std::function<QString(QWidget* owner, const QString& folder)>;

    explicit AudioFilesDialog(Configuration::IConfiguration& configuration);

    void SetFrame(IParentWindow* frame, ControlSubClasser* information);
    QWidget* Create(QWidget* parent);
    void Destroy();

    // The edits from the live settings again (a preset was loaded).
    void Reload();
    // True when at least one edit holds text.
    bool HasAnyFile() const;
    // The twelve texts now in the edits.
    void Paths(QString (&paths)[NumVoices]) const;
    // Copies the edits into `settings`, then checks the files; false when a check refuses.
    bool SaveToSettings(Configuration::ConfigurationData& settings);

    // The "..." button of a slot: choose a file for its edit.
    void ChooseAudioFile(int voice);
    // The folder a chooser opens in for an edit's text: up to its last separator, or none.
    static QString InitialFolder(const QString& path);

    QLineEdit* Edit(int voice) const;

    // Tests replace the file check and the chooser (empty functions restore the real ones).
    void SetFileCheckForTesting(FileCheck check) { _check = std::move(check); }
    void SetFileChooserForTesting(FileChooser chooser) { _chooser = std::move(chooser); }

    void MouseOverControl(int) override {}

private:
    bool CanStore(const QString& path) const;
    int CheckFile(const char16_t* path) const;
    QString RunChooser(const QString& folder);
    void WarnIfLarge(int voice);

    Configuration::IConfiguration& _configuration;
    IParentWindow* _frame = nullptr;
    ControlSubClasser* _information = nullptr;
    bool _initialised = false;
    FileCheck _check;
    FileChooser _chooser;
    // Each edit's path when it was last loaded or checked for size.
    QString _seen[NumVoices];
};

}  // namespace GUI
