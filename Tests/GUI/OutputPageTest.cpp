#include <gtest/gtest.h>

#include <QComboBox>
#include <QSpinBox>
#include <QWidget>

#include "Configuration/ExtraSettings.h"
#include "Core/OutputSettings.h"
#include "GUI/OutputPage.h"
#include "Support/TestEnvironment.h"

namespace {

// The page lists "Default" and then every output the sound system offers; a choice goes into the
// second settings file (saved at once) under "output."; a chosen device that is gone shows as
// "Default" and stays chosen until another one is picked.
TEST(OutputPage, ListsOutputsKeepsTheChoiceAndFallsBackToDefault)
{
    Configuration::ExtraSettings settings(Tests::MakeTempFolder("output-page") + "Ticova.extras");
    settings.SetText("output.hostapi", "ALSA");
    settings.SetText("output.device", "a device unplugged long ago");
    GUI::OutputPage page(settings);
    QWidget parent;
    page.Create(&parent);
    QComboBox* list = page.OutputList();
    ASSERT_NE(list, nullptr);
    const std::vector<Core::OutputEntry> outputs = Core::ListOutputs();
    ASSERT_EQ(list->count(), static_cast<int>(outputs.size()) + GUI::OutputPage::FirstDeviceItem);
    EXPECT_EQ(list->itemText(0), QStringLiteral("Default"));
    EXPECT_EQ(list->currentIndex(), 0);
    page.Save();
    EXPECT_EQ(settings.Text("output.device"), "a device unplugged long ago");

    if (!outputs.empty()) {
        list->setCurrentIndex(GUI::OutputPage::FirstDeviceItem);
        EXPECT_TRUE(list->currentText().contains(QString::fromStdString(outputs[0].device)));
        EXPECT_TRUE(list->currentText().contains(QStringLiteral("%1 ms").arg(outputs[0].latencyMs)));
        page.Save();
        Configuration::ExtraSettings saved(settings.Path());
        ASSERT_TRUE(saved.Load());
        EXPECT_EQ(saved.Text("output.hostapi"), outputs[0].hostApi);
        EXPECT_EQ(saved.Text("output.device"), outputs[0].device);
    }
    list->setCurrentIndex(GUI::OutputPage::JackItem);
    page.Save();
    EXPECT_EQ(settings.Text("output.driver"), "jack");
    EXPECT_TRUE(Core::ReadOutputChoice(settings).jack);
    // The MIDI notes: the built-in synthesizer on channel 10 unless chosen otherwise, and kept.
    EXPECT_EQ(page.MidiTargetList()->currentIndex(), Core::MidiChoice::Synth);
    EXPECT_EQ(page.ChannelBox()->value(), 10);
    page.MidiTargetList()->setCurrentIndex(Core::MidiChoice::Jack);
    page.ChannelBox()->setValue(3);
    page.Save();
    EXPECT_EQ(Core::ReadMidiChoice(settings), (Core::MidiChoice{Core::MidiChoice::Jack, 3}));
    EXPECT_EQ(settings.Text("midi.target"), "jack");
    page.Destroy();
    Core::ApplyMidiChoice({});
    // Back to the default output for the tests after this one.
    Core::ApplyOutputChoice({});
}

}  // namespace
