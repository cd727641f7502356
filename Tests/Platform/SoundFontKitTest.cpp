#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Platform/SoundFontKit.h"
#include "Platform/SoundFontSynth.h"

namespace {

using Platform::SoundFontKit;

std::string InstalledSoundFont()
{
    const std::string path = Platform::SoundFontSynth::DefaultSoundFont();
    return !path.empty() && access(path.c_str(), R_OK) == 0 ? path : std::string();
}

// A SoundFont held in memory, to be damaged at will.
struct MemoryFont {
    std::vector<unsigned char> bytes;
    explicit MemoryFont(const std::string& path)
        : bytes(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {})
    {
    }
    SoundFontKit::Source Source() const
    {
        return [this](std::int64_t offset, void* out, std::int64_t count) {
            if (offset < 0 || offset + count > static_cast<std::int64_t>(bytes.size()))
                return false;
            std::memcpy(out, bytes.data() + offset, static_cast<std::size_t>(count));
            return true;
        };
    }
    // Where the list `id` of the presets, instruments and samples begins (its records).
    std::size_t List(const char* id) const
    {
        const char* data = reinterpret_cast<const char*>(bytes.data());
        const std::string_view all(data, bytes.size());
        const std::size_t pdta = all.rfind("pdta");
        return all.find(id, pdta) + 8;
    }
};

// Every percussion note, at soft and full velocity and at both common output rates, sounds
// sample for sample as when the whole SoundFont is loaded.
TEST(SoundFontKit, EveryNoteSoundsAsFromTheWholeSoundFont)
{
    const std::string path = InstalledSoundFont();
    if (path.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    Platform::SoundFontSynth kit, whole;
    kit.UseSoundFont(path);
    whole.UseSoundFont(path);
    whole.LoadKitOnly(false);
    int sounding = 0;
    for (const double rate : {44100.0, 48000.0})
        for (int note = 27; note <= 87; note += rate == 44100.0 ? 1 : 7)
            for (const int velocity : {30, 127}) {
                const Platform::Sound* a = kit.Prepare(note, velocity, rate);
                const Platform::Sound* b = whole.Prepare(note, velocity, rate);
                ASSERT_TRUE(a && b) << note;
                ASSERT_EQ(a->frames, b->frames) << "note " << note << " velocity " << velocity << " at " << rate;
                EXPECT_EQ(std::memcmp(a->samples, b->samples, static_cast<std::size_t>(a->frames) * 2 * sizeof(float)),
                          0)
                    << "note " << note << " velocity " << velocity << " at " << rate;
                sounding += a->frames > 100;
            }
    EXPECT_GT(sounding, 80);  // the kit is really played, not silence compared with silence
}

// The kit's SoundFont is the file up to its lists, byte for byte; what is not a SoundFont with a
// kit, or whose lists point beyond themselves, is refused (and then loaded whole).
TEST(SoundFontKit, KeepsTheFileBeforeItsListsAndRefusesDamagedOnes)
{
    const std::string path = InstalledSoundFont();
    if (path.empty())
        GTEST_SKIP() << "no General MIDI SoundFont installed";
    MemoryFont font(path);
    SoundFontKit kit;
    ASSERT_TRUE(kit.Cut(font.Source(), static_cast<std::int64_t>(font.bytes.size())));
    const std::size_t lists = font.List("pdta") - 12;
    ASSERT_LT(kit.Size(), static_cast<std::int64_t>(font.bytes.size()));
    std::vector<unsigned char> image(static_cast<std::size_t>(kit.Size()));
    ASSERT_TRUE(kit.Read(0, image.data(), kit.Size()));
    EXPECT_FALSE(kit.Read(1, image.data(), kit.Size()));
    EXPECT_EQ(std::memcmp(image.data() + 8, font.bytes.data() + 8, lists - 8), 0);
    EXPECT_EQ(image[4] | image[5] << 8 | image[6] << 16 | image[7] << 24, kit.Size() - 8);

    const auto refused = [&](auto damage, const char* what) {
        MemoryFont damaged = font;
        damage(damaged.bytes);
        SoundFontKit other;
        EXPECT_FALSE(other.Cut(damaged.Source(), static_cast<std::int64_t>(damaged.bytes.size()))) << what;
    };
    refused([](auto& bytes) { bytes.resize(bytes.size() - 100); }, "the lists cut short");
    refused([](auto& bytes) { bytes[0] = 'X'; }, "not a RIFF file");
    refused(
        [&](auto& bytes) {
            // Every preset moved out of the percussion bank: no kit.
            for (std::size_t p = font.List("phdr"); p + 38 <= font.List("pbag") - 8; p += 38)
                bytes[p + 22] = 0;
        },
        "no kit");
    refused(
        [&](auto& bytes) {
            // Every zone's first generator taken for an instrument beyond the list.
            for (std::size_t g = font.List("pgen"); g + 4 <= font.List("inst") - 8; g += 4) {
                bytes[g] = 41;
                bytes[g + 2] = bytes[g + 3] = 0xFF;
            }
        },
        "an instrument beyond the list");
    refused([&](auto& bytes) { bytes[font.List("pbag") - 4] ^= 1; }, "a list of a size no records have");
}

}  // namespace
