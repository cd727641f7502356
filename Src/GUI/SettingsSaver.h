#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>

#include "Configuration/IConfiguration.h"

class QWidget;

namespace Configuration {
class ExtraSettings;
}

namespace GUI {

// Keeps the settings files up to date while the program runs, so that a crash, a killed session
// or a power cut loses nothing: a preset operation, the settings dialog's OK and any change of
// the second settings file are saved at the next turn of the event loop (a burst of changes is
// one save); tempo and volume, which change in quick runs, a short pause after the last change.
// Every save goes through the files' own atomic write (temporary, rename, backup).
//
// Changes are taken from any thread, but saving is only ever done on the thread that owns this
// object (the window's), never on the audio or timer threads. A failed save is told once, by a
// message box shown from the event loop (never from inside the handler that made the change),
// until a save succeeds again.
class SettingsSaver final : public QObject {
public:
    static constexpr int PauseMs = 2000;

    SettingsSaver(Configuration::IConfiguration& configuration, Configuration::ExtraSettings& extras);
    ~SettingsSaver() override;
    SettingsSaver(const SettingsSaver&) = delete;
    SettingsSaver& operator=(const SettingsSaver&) = delete;

    // The window the failure message belongs to.
    void SetWindow(QWidget* window) { _window = window; }

    // True while a save is waiting (the second file: while it holds changes not saved).
    bool Waiting() const;
    // Saves what is waiting, now.
    void SaveWaiting();

private:
    void ConfigurationChanged(Configuration::IConfiguration::Change change);
    void SaveSoon();
    void OnOwnThread(const std::function<void()>& react);
    void Tell(const std::string& problem);

    Configuration::IConfiguration& _configuration;
    Configuration::ExtraSettings& _extras;
    QPointer<QWidget> _window;
    QTimer _soon;   // the next turn of the event loop
    QTimer _pause;  // the pause after tempo and volume changes
    bool _configurationDue = false;
    bool _told = false;
};

}  // namespace GUI
