#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace Configuration {
class ConfigurationData;
}

namespace GUI {

// The program's message boxes, with their texts from the language of the moment.
class MessageBoxes {
public:
    using Presenter =
        std::function<int(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text)>;

    // Shows a box with an OK button; returns the button pressed.
    static int Show(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text);
    // Shows a box with Yes and No buttons; true for Yes. A test presenter answers Yes by
    // returning QMessageBox::Yes.
    static bool Ask(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text);

    // The warning for a metronome result code that the user can act on: the sound output
    // failed (5), a malformed custom pattern (6, 8, 9) or custom rhythm (10, 11). Every other
    // code shows nothing and gives 0.
    // With the settings of a start the audio-file engine refused, the message names the file
    // that cannot be played and its sound.
    // A start refused for a sound without its audio file (12) names that sound (`sound`, 0..11).
    static int ShowMetronomeError(int code, QWidget* owner, const Configuration::ConfigurationData* settings = nullptr,
                                  int sound = -1);
    static constexpr int SoundSourceFailed = 5;
    static constexpr int SoundHasNoFile = 12;
    // The language's message and title numbers for a result code; false when it has none.
    static bool MetronomeErrorTexts(int code, int& titleNumber, int& messageNumber);

    // Tests record the boxes instead of showing them (an empty presenter restores the boxes).
    static void SetPresenterForTesting(Presenter presenter);
};

}  // namespace GUI
