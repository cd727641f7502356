#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "Configuration/PracticeLog.h"
#include "Configuration/SongFile.h"
#include "Core/TempoMap.h"
#include "GUI/ApplicationWindow.h"
#include "GUI/MessageBoxes.h"
#include "GUI/SongEditorDialog.h"
#include "GUI/SongLibrary.h"
#include "GUI/SongPicture.h"
#include "GUI/VisualBeatIndicator.h"
#include "Platform/File.h"
#include "Support/WindowFakes.h"
#include "System/Language.h"

namespace {

using Configuration::Song;
using Configuration::SongSection;

class SongEditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        GUI::MessageBoxes::SetPresenterForTesting(
            [this](QWidget*, QMessageBox::Icon icon, const QString& title, const QString& text) {
                boxes.push_back({icon, title, text});
                return int(QMessageBox::Ok);
            });
        library = std::make_unique<GUI::SongLibrary>(Path("songs.txt"));
        GUI::SongEditorDialog::Player player;
        player.play = [this](const Song& song, int section) { played.emplace_back(song.name, section); };
        player.playing = [] { return false; };
        dialog = std::make_unique<GUI::SongEditorDialog>(*library, std::move(player));
        dialog->NewSong(QStringLiteral("Opener"));
    }
    void TearDown() override
    {
        dialog.reset();
        library.reset();
        GUI::MessageBoxes::SetPresenterForTesting({});
    }
    std::string Path(const char* name) const { return folder.filePath(QString::fromLatin1(name)).toStdString(); }
    void Edit(int row, int column, const char* text)
    {
        dialog->Table()->item(row, column)->setText(QString::fromUtf8(text));
    }
    QString Cell(int row, int column) const { return dialog->Table()->item(row, column)->text(); }
    std::vector<Song> Saved()
    {
        QApplication::processEvents();
        std::vector<Song> songs;
        std::vector<Configuration::SongFile::Damage> damaged;
        EXPECT_TRUE(Configuration::SongFile(Path("songs.txt")).Load(songs, damaged));
        EXPECT_TRUE(damaged.empty());
        return songs;
    }

    QTemporaryDir folder;
    std::unique_ptr<GUI::SongLibrary> library;
    std::unique_ptr<GUI::SongEditorDialog> dialog;
    std::vector<std::pair<std::string, int>> played;
    std::vector<Tests::ShownBox> boxes;
};

// Sections are added, duplicated, moved and removed in place, cells are read back as kept (brought
// into range, or as they were when they cannot be read), and every change is in the file at once.
TEST_F(SongEditorTest, EditsOfTheTableChangeTheSongAndAreSavedAtOnce)
{
    using E = GUI::SongEditorDialog;
    Edit(0, E::Label, "intro");
    Edit(0, E::Tempo, "96");
    Edit(0, E::Subdivisions, "4");
    EXPECT_EQ(Cell(0, E::EndTempo), QStringLiteral("96")) << "a steady section stays steady";
    dialog->AddSection();  // after the intro, in its meter and end tempo
    Edit(1, E::Label, "verse");
    Edit(1, E::Meter, "2+2+3/8");
    Edit(1, E::EndTempo, "1000");
    Edit(1, E::Bars, "lots");
    Edit(1, E::Accents, "X.ox");
    Edit(1, E::Subdivisions, "2,3");
    Edit(1, E::Muted, "3,1");
    dialog->DuplicateSection();
    Edit(2, E::Label, "chorus");
    dialog->MoveSection(-1);  // the chorus before the verse
    ASSERT_EQ(dialog->CurrentSection(), 1);
    EXPECT_EQ(Cell(1, E::EndTempo), QStringLiteral("400"));
    EXPECT_EQ(Cell(1, E::Bars), QStringLiteral("4")) << "a cell that cannot be read shows what is kept";
    EXPECT_EQ(Cell(1, E::Meter), QStringLiteral("2+2+3/8"));

    std::vector<Song> songs = Saved();
    ASSERT_EQ(songs.size(), 1u);
    ASSERT_EQ(songs[0].sections.size(), 3u);
    EXPECT_EQ(songs[0].sections[0].tempo, 96);
    EXPECT_EQ(songs[0].sections[1].label, "chorus");
    EXPECT_EQ(songs[0].sections[2].label, "verse");
    EXPECT_EQ(songs[0].sections[1].groups, (std::vector<std::int32_t>{2, 2, 3}));
    EXPECT_EQ(songs[0].sections[1].tempo, 96);
    EXPECT_EQ(songs[0].sections[1].endTempo, 400);
    EXPECT_EQ(songs[0].sections[1].accents.size(), 4u);
    EXPECT_EQ(songs[0].sections[1].subdivision2, 3);
    EXPECT_EQ(songs[0].sections[1].muteBars, 1);
    EXPECT_EQ(songs[0].sections[0].subdivision, 4);
    EXPECT_EQ(songs[0].sections[0].subdivision2, 0);
    EXPECT_EQ(Cell(0, E::Subdivisions), QStringLiteral("4"));

    dialog->RemoveSection();
    dialog->RemoveSection();
    dialog->RemoveSection();  // the last one stays
    EXPECT_EQ(Saved()[0].sections.size(), 1u);
    EXPECT_EQ(dialog->Picture()->SectionAt(dialog->Picture()->SectionRect(0).center().x()), 0);
}

TEST_F(SongEditorTest, AClickOnASectionInThePicturePlaysFromThere)
{
    dialog->AddSection();
    dialog->AddSection();
    dialog->resize(700, 500);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    GUI::SongPicture* picture = dialog->Picture();
    const QRect third = picture->SectionRect(2);
    ASSERT_GT(third.width(), 10);
    QTest::mouseClick(picture, Qt::LeftButton, {}, third.center());
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0], (std::pair<std::string, int>{"Opener", 2}));
    EXPECT_EQ(dialog->CurrentSection(), 2);
    // The line stands where the heard bar begins.
    picture->SetHeard(1, 0);
    EXPECT_NEAR(picture->LineMs(), 4 * 4 * 500.0, 100.0);
}

// A tempo map read in becomes a song of its own, with a note of what it could not hold; the song
// is written back as a tempo map and as a MIDI file.
TEST_F(SongEditorTest, TempoMapsAndMidiFilesInAndOut)
{
    ASSERT_TRUE(Platform::File::ReplaceWhole(Path("gig.txt"), "intro: 4 3/4 90\nnonsense here\nverse: 8 120-140\n"));
    ASSERT_TRUE(dialog->ImportTempoMap(QString::fromStdString(Path("gig.txt"))));
    ASSERT_EQ(library->Songs().size(), 2u);
    EXPECT_EQ(dialog->SongBox()->currentText(), QStringLiteral("gig"));
    EXPECT_EQ(dialog->Table()->rowCount(), 2);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QStringLiteral("Line 2"))) << boxes[0].text.toStdString();

    EXPECT_FALSE(dialog->ImportTempoMap(QString::fromStdString(Path("missing.txt"))));
    EXPECT_EQ(library->Songs().size(), 2u);

    ASSERT_TRUE(dialog->ExportTempoMap(QString::fromStdString(Path("out.txt"))));
    std::string text;
    ASSERT_TRUE(Platform::File::ReadAll(Path("out.txt"), text, 1 << 20));
    Song back;
    EXPECT_TRUE(Core::TempoMap::Read(text, back).empty());
    EXPECT_EQ(back.sections.size(), 2u);
    ASSERT_TRUE(dialog->ExportMidi(QString::fromStdString(Path("out.mid"))));
    ASSERT_TRUE(Platform::File::ReadAll(Path("out.mid"), text, 1 << 20));
    EXPECT_EQ(text.substr(0, 4), "MThd");
}

// A damaged song is left out with a message naming it; the others are read.
TEST_F(SongEditorTest, ADamagedSongIsLeftOutWithAMessageAndTheOthersKept)
{
    ASSERT_TRUE(Platform::File::ReplaceWhole(Path("damaged.txt"),
                                             "song = Good\nsection = bars=2 tempo=100\n"
                                             "song = Bad\nsection = bars=two\n"
                                             "song = Also good\nsection = bars=1\n"));
    GUI::SongLibrary damaged(Path("damaged.txt"));
    const QString message = damaged.Load();
    EXPECT_TRUE(message.contains(QStringLiteral("\"Bad\""))) << message.toStdString();
    ASSERT_EQ(damaged.Songs().size(), 2u);
    EXPECT_EQ(damaged.Songs()[1].name, "Also good");
}

// In every shipped language each button and label of the editor shows its whole text.
TEST_F(SongEditorTest, NoTextOfTheEditorIsCutInAnyLanguage)
{
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    for (const char16_t* language : {u"de", u"fr", u""}) {
        System::Language loaded;
        if (*language != 0) {
            ASSERT_TRUE(loaded.LoadLanguageFile(language));
            System::SetCurrentLanguage(&loaded);
        }
        GUI::SongEditorDialog::Player player;
        GUI::SongEditorDialog editor(*library, player);
        editor.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
        const std::string name = QString::fromUtf16(language).toStdString();
        for (QPushButton* button : editor.findChildren<QPushButton*>()) {
            const QString text = QString(button->text()).remove(u'&');
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(text) + 8)
                << name << ": " << text.toStdString();
        }
        for (QLabel* label : editor.findChildren<QLabel*>())
            EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(QString(label->text()).remove(u'&')))
                << name << ": " << label->text().toStdString();
        QHeaderView* header = editor.Table()->horizontalHeader();
        for (int column = 0; column < GUI::SongEditorDialog::ColumnCount; ++column) {
            const QString text = editor.Table()->horizontalHeaderItem(column)->text();
            EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(text))
                << name << ": " << text.toStdString();
        }
        System::SetCurrentLanguage(nullptr);
    }
    System::SetLanguageFolderForTesting({});
}

// The window plays a song of the editor from the section asked for, to its end whatever the
// setlist, and the read-out shows the section heard and its bar.
TEST(SongWindowTest, ASongPlaysFromItsSectionAndTheReadOutShowsWhereItIs)
{
    Tests::FakeMetronome metronome;
    Tests::FakeConfiguration configuration;
    GUI::VisualBeatIndicator indicator;
    GUI::ApplicationWindow window(metronome, configuration, indicator);
    ASSERT_TRUE(window.Initialise());
    QTemporaryDir folder;
    const Configuration::PracticeLog log(folder.filePath(QStringLiteral("log.csv")).toStdString());
    window.SetPracticeLog(log);
    Core::Moment now{};
    window.SetPracticeClock([&now] { return now; });
    Song song;
    song.name = "Set";
    song.sections = {SongSection{}, SongSection{}, SongSection{}};
    song.sections[1].label = "bridge";
    song.sections[2].label = "outro";
    metronome.heard = {1, 2, 120};  // counted in the sections the metronome was given
    window.PlaySong(song, 1);
    ASSERT_TRUE(metronome.running);
    ASSERT_TRUE(metronome.song.has_value());
    EXPECT_EQ(metronome.song->sections.size(), 2u);
    EXPECT_EQ(metronome.barLimit, 0);
    EXPECT_EQ(window.ReadOut().Caption(), QStringLiteral("outro  bar 3"));
    // The song owns the tempo: the slider rests, and Space pauses instead of stopping.
    EXPECT_FALSE(window.TempoSlider()->isEnabled());
    window.RequestTempo(200);
    EXPECT_TRUE(metronome.tempos.empty());
    window.TogglePause();
    EXPECT_TRUE(metronome.paused);
    EXPECT_TRUE(metronome.running);
    window.TogglePause();
    now += std::chrono::seconds(5);
    window.StopPlaying();
    EXPECT_EQ(window.ReadOut().Caption(), QString());
    // Logged under the song's name.
    std::vector<Configuration::PracticeRun> runs;
    int skipped = 0;
    ASSERT_TRUE(log.Load(runs, skipped));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].preset, "Set");
}

}  // namespace
