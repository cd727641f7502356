#include <gtest/gtest.h>

#include <string>

#include "Support/RecordingLog.h"
#include "System/DefaultLanguage.h"
#include "System/MultimediaError.h"

namespace {

using Tests::RecordingLog;

TEST(MultimediaMessageId, MapsEveryCodeToItsDescription)
{
    EXPECT_EQ(System::MultimediaMessageId(0), 24);
    EXPECT_EQ(System::MultimediaMessageId(1), 24);
    EXPECT_EQ(System::MultimediaMessageId(2), 25);
    EXPECT_EQ(System::MultimediaMessageId(5), 28);
    EXPECT_EQ(System::MultimediaMessageId(21), 44);
    for (unsigned code = 22; code <= 31; ++code)
        EXPECT_EQ(System::MultimediaMessageId(code), 24) << code;
    EXPECT_EQ(System::MultimediaMessageId(32), 45);
    EXPECT_EQ(System::MultimediaMessageId(35), 48);
    EXPECT_EQ(System::MultimediaMessageId(36), 24);
    EXPECT_EQ(System::MultimediaMessageId(999), 24);
    EXPECT_EQ(System::MultimediaMessageId(1000), 49);
    EXPECT_EQ(System::MultimediaMessageId(1001), 50);
    EXPECT_EQ(System::MultimediaMessageId(1002), 24);
    EXPECT_EQ(System::MultimediaMessageId(0xFFFFFFFFu), 24);
}

TEST(MultimediaMessageId, DescriptionsMatchTheirCodes)
{
    System::DefaultLanguage language;
    EXPECT_EQ(std::u16string(language.GetMessage(System::MultimediaMessageId(6))), u"No device driver present");
    EXPECT_EQ(std::u16string(language.GetMessage(System::MultimediaMessageId(34))), u"Header not prepared");
    EXPECT_EQ(std::u16string(language.GetMessage(System::MultimediaMessageId(20))),
              u"Driver does not call DriverCallback");
}

TEST(ReportMultimediaError, WritesOneEntryWithTheCodesDescription)
{
    RecordingLog log;
    System::ReportMultimediaError(5, "Src/Core/MidiSoundEngine", "Core::MidiSoundEngine::PlaySoundW", 150,
                                  "Error calling %s", "MidiOut::ShortMessage");
    ASSERT_EQ(log.entries.size(), 1u);
    EXPECT_EQ(log.entries[0].level, System::Error);
    EXPECT_EQ(log.entries[0].text,
              "Multimedia error: Error calling MidiOut::ShortMessage\r\n\tFile: Src/Core/MidiSoundEngine\r\n"
              "\tFunction: Core::MidiSoundEngine::PlaySoundW\r\n\tLine: 150\r\n\tError Code 5\r\n"
              "\tDescription: Device handle is invalid");
}

TEST(ReportMultimediaError, UnlistedCodeIsUnspecifiedAndPercentSignsSurvive)
{
    RecordingLog log;
    System::ReportMultimediaError(999, "Src/Core/100%", "F", 1, "Error calling %s", "open %d");
    ASSERT_EQ(log.entries.size(), 1u);
    const std::string& text = log.entries[0].text;
    EXPECT_NE(text.find("Multimedia error: Error calling open %d\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tFile: Src/Core/100%\r\n"), std::string::npos);
    EXPECT_NE(text.find("\tError Code 999\r\n\tDescription: Unspecified error"), std::string::npos);
}

TEST(ReportMultimediaError, MessagePartIsCutTo255Bytes)
{
    RecordingLog log;
    std::string longName(400, 'x');
    System::ReportMultimediaError(1000, "file", "function", 7, "%s", longName.c_str());
    ASSERT_EQ(log.entries.size(), 1u);
    const std::string& text = log.entries[0].text;
    EXPECT_EQ(text.find("Multimedia error: " + std::string(255, 'x') + "\r\n\tFile: file"), 0u);
    EXPECT_NE(text.find("Description: One of the sounds selected for playback"), std::string::npos);
}

}  // namespace
