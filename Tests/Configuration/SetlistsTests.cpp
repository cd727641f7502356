#include <gtest/gtest.h>

#include <set>
#include <string>

#include "Configuration/ExtraSettings.h"
#include "Configuration/Setlists.h"
#include "Support/RecordingLog.h"
#include "System/ILog.h"

namespace {

using Configuration::ExtraSettings;
using Configuration::Setlists;

Setlists::PresetExists Of(std::set<std::string> names)
{
    return [names = std::move(names)](const std::string& name) { return names.count(name) != 0; };
}

Setlists ReadBack(const Setlists& lists)
{
    ExtraSettings written("unused");
    lists.Write(written);
    ExtraSettings read("unused");
    EXPECT_EQ(read.Read(written.Write()), 0);
    Setlists back;
    back.Read(read);
    return back;
}

TEST(Setlists, StoredUnderTheirPrefixAndReadBackWhole)
{
    Setlists lists;
    auto& all = lists.Lists();
    all.push_back({"Friday", {"Ballad", "Shuffle", "Ballad"}, 16});
    all.push_back({"Warm = up # 2", {}, 0});
    // Twelve entries: entry 10 comes after 9, not after 1.
    all.push_back({"Long", {}, 0});
    for (int n = 1; n <= 12; ++n)
        all.back().presets.push_back("P" + std::to_string(n));
    lists.Activate(0, Of({"Ballad", "Shuffle"}));
    ASSERT_TRUE(lists.Next(Of({"Ballad", "Shuffle"})));

    ExtraSettings extras("unused");
    extras.SetText("setlist.9.name", "left over from before");
    extras.SetFlag("flash.mute", true);
    lists.Write(extras);
    EXPECT_FALSE(extras.Has("setlist.9.name"));
    EXPECT_TRUE(extras.Has("flash.mute"));
    for (const std::string& key : extras.Keys(""))
        EXPECT_TRUE(key.rfind("setlist.", 0) == 0 || key == "flash.mute") << key;

    const Setlists back = ReadBack(lists);
    ASSERT_EQ(back.Lists().size(), 3u);
    for (std::size_t n = 0; n < 3; ++n) {
        EXPECT_EQ(back.Lists()[n].name, all[n].name);
        EXPECT_EQ(back.Lists()[n].presets, all[n].presets);
        EXPECT_EQ(back.Lists()[n].advanceBars, all[n].advanceBars);
    }
    EXPECT_EQ(back.Active(), 0);
    EXPECT_EQ(back.Position(), 1);
    EXPECT_EQ(back.CurrentPreset(), "Shuffle");
}

// Keys this copy does not understand (a newer copy's) stay: with their list, or as they are.
TEST(Setlists, KeysNotUnderstoodAreKeptAndEmptyEntriesLeftOut)
{
    Tests::RecordingLog log;
    ExtraSettings extras("unused");
    extras.Read("setlist.2.name = Gig\n"
                "setlist.2.5 = Ballad\n"
                "setlist.2.2 = Shuffle\n"
                "setlist.2.0 = zero\n"
                "setlist.2.x = what\n"
                "setlist.2.3 =\n"
                "setlist.2.bars = lots\n"
                "setlist.x.name = no number\n"
                "setlist.7.1 = Nameless\n"
                "setlist.active = 9\n"
                "setlist.position = -4\n");
    Setlists lists;
    lists.Read(extras);
    ASSERT_EQ(lists.Lists().size(), 2u);
    EXPECT_EQ(lists.Lists()[0].name, "Gig");
    EXPECT_EQ(lists.Lists()[0].presets, (std::vector<std::string>{"Shuffle", "Ballad"}));
    EXPECT_EQ(lists.Lists()[0].advanceBars, 0);
    EXPECT_EQ(lists.Lists()[1].name, "Setlist 7");
    EXPECT_EQ(lists.Active(), -1);  // no list 9: none in use
    EXPECT_EQ(lists.Position(), -1);
    EXPECT_TRUE(log.Has(System::Warn, "5 setlist settings not understood"));
    lists.Write(extras);
    EXPECT_EQ(extras.Keys("setlist."),
              (std::vector<std::string>{"setlist.1.0", "setlist.1.1", "setlist.1.2", "setlist.1.bars", "setlist.1.name",
                                        "setlist.1.x", "setlist.2.1", "setlist.2.name", "setlist.x.name"}));
    EXPECT_EQ(extras.Text("setlist.1.bars"), "lots");
    EXPECT_EQ(extras.Text("setlist.x.name"), "no number");
}

// An entry is a preset or a song: the kind goes with the entry through edits and the file, an
// older file's entries are presets, and a song entry plays only while its song exists.
TEST(Setlists, SongEntriesKeepTheirKindAndOlderEntriesArePresets)
{
    ExtraSettings old("unused");
    ASSERT_EQ(old.Read("setlist.1.name = Gig\nsetlist.1.1 = Ballad\nsetlist.1.2 = Opener\n"), 0);
    Setlists lists;
    lists.Read(old);
    ASSERT_EQ(lists.Lists().size(), 1u);
    Configuration::Setlist& gig = lists.Lists()[0];
    EXPECT_FALSE(gig.IsSong(0));
    EXPECT_FALSE(gig.IsSong(1));

    gig.Insert(1, "Opener", true);  // a song of the same name as a preset
    gig.Insert(9, "Closer", true);  // at the end
    gig.Swap(0, 1);
    gig.Erase(2);
    ASSERT_EQ(gig.presets, (std::vector<std::string>{"Opener", "Ballad", "Closer"}));
    const Setlists back = ReadBack(lists);
    const Configuration::Setlist& read = back.Lists()[0];
    ASSERT_EQ(read.presets, gig.presets);
    EXPECT_TRUE(read.IsSong(0));
    EXPECT_FALSE(read.IsSong(1));
    EXPECT_TRUE(read.IsSong(2));

    // The song "Opener" is gone; the preset of that name does not stand in for it.
    lists.SetSongExists(Of({"Closer"}));
    lists.Activate(0, Of({"Ballad", "Opener"}));
    EXPECT_EQ(lists.Position(), 1);
    EXPECT_TRUE(lists.Next(Of({"Ballad", "Opener"})));
    EXPECT_TRUE(lists.IsSongAt(lists.Position()));
}

TEST(Setlists, NavigationSkipsMissingPresetsAndStopsAtTheEnds)
{
    Setlists lists;
    lists.Lists().push_back({"Gig", {"Gone", "A", "Gone", "A", "B", "Gone"}, 0});
    lists.Lists().push_back({"Lost", {"Gone", "Gone too"}, 0});
    const auto exists = Of({"A", "B"});

    lists.Activate(0, exists);
    EXPECT_EQ(lists.Position(), 1);  // the first entry that can be played
    EXPECT_TRUE(lists.Next(exists));
    EXPECT_EQ(lists.Position(), 3);
    EXPECT_TRUE(lists.Next(exists));
    EXPECT_EQ(lists.CurrentPreset(), "B");
    EXPECT_FALSE(lists.Next(exists));  // only a missing entry after it
    EXPECT_EQ(lists.Position(), 4);
    EXPECT_TRUE(lists.Previous(exists));
    EXPECT_TRUE(lists.Previous(exists));
    EXPECT_EQ(lists.Position(), 1);
    EXPECT_FALSE(lists.Previous(exists));

    // A list of missing presets is kept and shown, and nothing in it is played.
    lists.Activate(1, exists);
    EXPECT_EQ(lists.Position(), 0);
    EXPECT_EQ(lists.CurrentPreset(), "Gone");
    EXPECT_FALSE(lists.Next(exists));

    // Entries removed under the position: it stays within the list; the list removed: none.
    lists.Lists()[1].presets.clear();
    lists.Fit();
    EXPECT_EQ(lists.CurrentPreset(), "");
    lists.Lists().pop_back();
    lists.Fit();
    EXPECT_EQ(lists.Active(), -1);
    EXPECT_FALSE(lists.Next(exists));
}

}  // namespace
