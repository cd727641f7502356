#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "GUI/Model/GridTestSupport.h"
#include "GUI/Model/PixelImage.h"
#include "GUI/Model/VoicePalette.h"
#include "GUI/StepSequencerControl.h"
#include "System/ILanguage.h"
#include "System/Language.h"

namespace {

using GUI::StepSequencerControl;
using GUI::StepSequencerGrid;
using Tests::GridSettings;
using Tests::Hit;

class StepSequencerControlTest : public ::testing::Test {
protected:
    void Open(const Configuration::ConfigurationData& settings, int width = 700, int height = 400)
    {
        control.resize(width, height);
        control.show();
        control.Load(settings);
        QApplication::processEvents();
    }

    void TearDown() override
    {
        if (control.CursorRuns())
            control.StopCursor();
    }

    void Mouse(QEvent::Type type, int x, int y)
    {
        const QPointF local(x, y);
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, local, control.mapToGlobal(local), button, held, Qt::NoModifier);
        QApplication::sendEvent(&control, &event);
    }
    void Click(int x, int y)
    {
        Mouse(QEvent::MouseButtonPress, x, y);
        Mouse(QEvent::MouseButtonRelease, x, y);
    }
    void ClickCell(int row, int column) { Click(control.CellCentreX(column), control.CellCentreY(row)); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(&control, Qt::Key(key), modifiers);
    }

    std::uint32_t Pixel(int x, int y) const { return control.Picture().pixel(x, y) & 0xFFFFFF; }

    // A tick from a thread of its own, as the metronome's timer thread gives it; waits for its frame.
    bool Tick()
    {
        const int before = control.CursorFrames();
        std::thread timer([this] { control.OnTick(Core::Moment()); });
        timer.join();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (control.CursorFrames() == before && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(50));
        return control.CursorFrames() != before;
    }

    StepSequencerControl control;
};

TEST_F(StepSequencerControlTest, ManyColumnsInANarrowWindowScrollWithTheirRangeEndingPastTheLastColumn)
{
    Open(GridSettings(4, 16, 8), 700, 400);
    ASSERT_EQ(control.Grid().ColumnCount(), 512);
    EXPECT_EQ(control.ColumnWidth(), 16);
    const int maximum = 16 * 512 - 700 + 200;
    EXPECT_EQ(control.ScrollMaximum(), maximum);
    EXPECT_TRUE(control.ScrollBar()->isEnabled());
    EXPECT_EQ(control.ScrollBar()->maximum(), maximum);
    EXPECT_GE(control.ImageWidth(), 20 * 512 + 145);
    EXPECT_EQ(control.RowHeight(), (400 - control.ScrollBar()->height() - 30) / 12);

    control.Scroll(StepSequencerControl::PageRight, 0);
    control.Scroll(StepSequencerControl::LineLeft, 0);
    control.Scroll(StepSequencerControl::PixelRight, 0);
    EXPECT_EQ(control.ScrollPosition(), 16);
    EXPECT_EQ(control.ScrollBar()->value(), 16);
    control.Scroll(StepSequencerControl::ThumbTrack, 100000);
    EXPECT_EQ(control.ScrollPosition(), maximum);
    control.Scroll(StepSequencerControl::LineRight, 0);
    EXPECT_EQ(control.ScrollPosition(), maximum);

    // Fewer bars: the view stays inside the shorter grid.
    control.SetNumBars(1);
    EXPECT_EQ(control.ScrollMaximum(), 16 * 128 - 700 + 200);
    EXPECT_EQ(control.ScrollPosition(), 16 * 128 - 700 + 200);

    // A grid that fits has nothing to scroll and shows its start.
    control.SetSubdivision(false, 0);
    EXPECT_GT(control.ColumnWidth(), 20);
    EXPECT_FALSE(control.ScrollBar()->isEnabled());
    EXPECT_EQ(control.ScrollPosition(), 0);
    control.Scroll(StepSequencerControl::PageRight, 0);
    EXPECT_EQ(control.ScrollPosition(), 0);
}

TEST_F(StepSequencerControlTest, DrawsHitsInTheirVoiceColourOverShadedRowsAndSelectedHitsGrey)
{
    // Voice 1 on step 0, voice 2 on step 1 (rows 0 and 1, colour index = row).
    Open(GridSettings(1, 4, 2, false, u"12"));
    const int x0 = control.CellCentreX(0);
    const int x1 = control.CellCentreX(1);
    EXPECT_EQ(Pixel(x0, control.CellCentreY(0)), GUI::ColourToPixel(GUI::VoiceColour(0)));
    EXPECT_EQ(Pixel(x1, control.CellCentreY(1)), GUI::ColourToPixel(GUI::VoiceColour(1)));
    // Between the column lines: white on even rows, shaded on odd ones; the name column is white.
    const int between = x0 + control.ColumnWidth() / 2;
    EXPECT_EQ(Pixel(between, control.CellCentreY(2)), 0xFFFFFFu);
    EXPECT_EQ(Pixel(between, control.CellCentreY(3)), 0xF0F0F0u);
    EXPECT_EQ(Pixel(120, control.CellCentreY(3) + 8), 0xFFFFFFu);
    // The rim of a hit on a shaded row fades into the shade, not into white.
    EXPECT_EQ(Pixel(x1 + 9, control.CellCentreY(1)), 0xF0F0F0u);
    // The axes.
    EXPECT_EQ(Pixel(125, 200), 0x202020u);
    EXPECT_EQ(Pixel(300, 30), 0x202020u);

    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().SelectedCount(), 2);
    EXPECT_EQ(Pixel(x0, control.CellCentreY(0)), 0xC0C0C0u);
    EXPECT_EQ(Pixel(x1, control.CellCentreY(1)), 0xC0C0C0u);
}

TEST_F(StepSequencerControlTest, ColumnLinesMarkBeatsAndCompoundGroupsWithNumbersAbove)
{
    auto lineAt = [this](int column) { return Pixel(control.CellCentreX(column), control.CellCentreY(4)); };
    auto numbered = [this](int column) {
        // Some dark pixel of a number just right of the line.
        for (int y = 5; y < 20; ++y)
            for (int x = control.CellCentreX(column) - 3; x < control.CellCentreX(column) + 6; ++x)
                if ((Pixel(x, y) & 0xFF) < 0x80)
                    return true;
        return false;
    };
    Open(GridSettings(1, 4, 2));
    EXPECT_EQ(lineAt(0), 0xC0C0C0u);
    EXPECT_EQ(lineAt(1), 0xE4E4E4u);
    EXPECT_EQ(lineAt(2), 0xC0C0C0u);
    EXPECT_TRUE(numbered(2));
    EXPECT_FALSE(numbered(3));

    // Compound 7/8: groups of 3, 3 and 1 beats.
    Open(GridSettings(2, 7, 3, true));
    ASSERT_EQ(control.Grid().ColumnCount(), 14);
    for (int column : {0, 3, 6, 7, 10, 13}) {
        EXPECT_EQ(lineAt(column), 0xC0C0C0u) << column;
        EXPECT_TRUE(numbered(column)) << column;
    }
    for (int column : {1, 2, 4, 5, 8, 9, 11, 12}) {
        EXPECT_EQ(lineAt(column), 0xE4E4E4u) << column;
        EXPECT_FALSE(numbered(column)) << column;
    }

    // No subdivision: every column is a beat, drawn dark.
    Open(GridSettings(1, 3, 0));
    for (int column = 0; column < 3; ++column) {
        EXPECT_EQ(lineAt(column), 0x202020u);
        EXPECT_TRUE(numbered(column));
    }
}

TEST_F(StepSequencerControlTest, ClickRemovesAHitAddsOneOnAnEmptyCellAndMovesTheMarkerOnTheHeader)
{
    Open(GridSettings(1, 4, 2, false, u"1"));
    ASSERT_TRUE(Hit(control.Grid(), 0, 0));

    ClickCell(0, 0);
    EXPECT_FALSE(Hit(control.Grid(), 0, 0));
    EXPECT_EQ(Pixel(control.CellCentreX(0) + 3, control.CellCentreY(0)), 0xFFFFFFu);

    ClickCell(2, 5);
    EXPECT_TRUE(Hit(control.Grid(), 2, 5));
    EXPECT_EQ(control.Grid().HitCount(), 1);
    EXPECT_EQ(Pixel(control.CellCentreX(5), control.CellCentreY(2)), GUI::ColourToPixel(GUI::VoiceColour(2)));

    const std::uint32_t markerBefore = Pixel(control.CellCentreX(3), 24);
    Click(control.CellCentreX(3), 25);
    EXPECT_EQ(control.Grid().StartColumn(), 3);
    EXPECT_EQ(control.Grid().HitCount(), 1);
    EXPECT_NE(Pixel(control.CellCentreX(3), 24), markerBefore);
    EXPECT_EQ(Pixel(control.CellCentreX(0), 24), 0xFFFFFFu);

    // Next to the marker slot, or in the name column: nothing.
    Click(control.CellCentreX(3) + 6, 25);
    Click(60, control.CellCentreY(0));
    EXPECT_EQ(control.Grid().StartColumn(), 3);
    EXPECT_EQ(control.Grid().HitCount(), 1);
}

TEST_F(StepSequencerControlTest, DraggingAHitMovesItAndDroppingOutsideLeavesIt)
{
    Open(GridSettings(1, 4, 2, false, u"1"));
    Mouse(QEvent::MouseButtonPress, control.CellCentreX(0), control.CellCentreY(0));
    Mouse(QEvent::MouseMove, control.CellCentreX(1), control.CellCentreY(1));
    EXPECT_EQ(control.cursor().shape(), Qt::SizeAllCursor);
    Mouse(QEvent::MouseButtonRelease, control.CellCentreX(3), control.CellCentreY(2));
    EXPECT_FALSE(Hit(control.Grid(), 0, 0));
    ASSERT_TRUE(Hit(control.Grid(), 2, 3));
    EXPECT_EQ(control.Grid().Cell(2, 3), 2);  // the new row's colour
    EXPECT_EQ(control.cursor().shape(), Qt::ArrowCursor);

    Mouse(QEvent::MouseButtonPress, control.CellCentreX(3), control.CellCentreY(2));
    Mouse(QEvent::MouseMove, -40, control.CellCentreY(2));
    EXPECT_EQ(control.cursor().shape(), Qt::ForbiddenCursor);
    Mouse(QEvent::MouseButtonRelease, -40, control.CellCentreY(2));
    EXPECT_TRUE(Hit(control.Grid(), 2, 3));
    EXPECT_EQ(control.Grid().HitCount(), 1);
    EXPECT_EQ(control.Grid().DragRow(), -1);
    EXPECT_EQ(control.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(StepSequencerControlTest, RubberBandBlendsOverTheGridAndSelectsEachHitOnce)
{
    Open(GridSettings(1, 4, 2, false, u"[12]1"));
    auto band = [this](int x1, int y1, int x2, int y2, bool checkBlend) {
        Mouse(QEvent::MouseButtonPress, x1, y1);
        Mouse(QEvent::MouseMove, x1, y1);
        Mouse(QEvent::MouseMove, x2, y2);
        if (checkBlend) {
            // Inside the band over white: half the band's grey, half white.
            EXPECT_EQ(Pixel((x1 + x2) / 2 + 3, std::min(y1, y2) + 3), 0xEAEAEAu);
        }
        Mouse(QEvent::MouseButtonRelease, x2, y2);
    };
    const int right = control.CellCentreX(6) + 5;
    // Over row 0 only: its two hits.
    band(right, control.CellCentreY(0) - 6, control.CellCentreX(0) - 5, control.CellCentreY(0) + 6, true);
    EXPECT_EQ(control.Grid().SelectedCount(), 2);
    EXPECT_EQ(Pixel(right - 20, control.CellCentreY(0) - 3), 0xFFFFFFu);  // the band is gone
    // Over both rows: the two selected ones are not counted again.
    band(right, control.CellCentreY(1) + 6, control.CellCentreX(0) - 5, control.CellCentreY(0) - 6, false);
    EXPECT_EQ(control.Grid().SelectedCount(), 3);
    Key(Qt::Key_Delete);
    EXPECT_EQ(control.Grid().HitCount(), 0);
}

TEST_F(StepSequencerControlTest, WhilePreviewingClicksDoNothingButKeysEdit)
{
    auto settings = GridSettings(1, 4, 2, false, u"1 2");
    Open(settings);
    ASSERT_TRUE(control.StartCursor(settings));
    ClickCell(5, 5);
    ClickCell(0, 0);
    EXPECT_EQ(control.Grid().HitCount(), 2);
    EXPECT_FALSE(Hit(control.Grid(), 5, 5));

    Key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().SelectedCount(), 2);
    Key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().HitCount(), 0);
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().HitCount(), 2);
    // What the keys did shows while the cursor runs.
    ASSERT_TRUE(Tick());
    EXPECT_EQ(Pixel(control.CellCentreX(0) + 3, control.CellCentreY(0)), GUI::ColourToPixel(GUI::VoiceColour(0)));
    control.StopCursor();
    ClickCell(5, 5);
    EXPECT_TRUE(Hit(control.Grid(), 5, 5));
}

TEST_F(StepSequencerControlTest, CursorStepsOncePerTickAndComesBackAfterTotalSteps)
{
    auto settings = GridSettings(1, 4, 4);
    settings.Bpm = 120;
    Open(settings);
    ASSERT_TRUE(control.StartCursor(settings));
    EXPECT_EQ(control.StepsPerColumn(), 8);
    const int total = control.TotalSteps();
    EXPECT_EQ(total, 8 * 4 * 4);

    ASSERT_TRUE(Tick());
    EXPECT_FLOAT_EQ(control.CursorX(), 145.0f);
    // The strip is a checkerboard inversion: white becomes black where x + y is even.
    EXPECT_EQ(Pixel(146, 40), 0x000000u);
    EXPECT_EQ(Pixel(146, 41), 0xFFFFFFu);
    for (int i = 0; i < 8; ++i)
        ASSERT_TRUE(Tick());
    EXPECT_FLOAT_EQ(control.CursorX(), 145.0f + control.ColumnWidth());
    EXPECT_EQ(Pixel(146, 40), 0xFFFFFFu);  // the old strip is taken away
    for (int i = 8; i < total; ++i)
        ASSERT_TRUE(Tick());
    EXPECT_FLOAT_EQ(control.CursorX(), 145.0f);
    EXPECT_EQ(control.StepCounter(), 0);

    control.StopCursor();
    QApplication::processEvents();
    EXPECT_EQ(Pixel(146, 40), 0xFFFFFFu);
}

TEST_F(StepSequencerControlTest, TicksPerColumnFollowTheTempoAndTheStepsPerBeat)
{
    auto settings = GridSettings(1, 4, 2);
    settings.Bpm = 40;
    Open(settings);
    ASSERT_TRUE(control.StartCursor(settings));
    EXPECT_EQ(control.StepsPerColumn(), 20);
    settings.Bpm = 250;
    settings.CrSubdivision = 8;
    ASSERT_TRUE(control.StartCursor(settings));
    EXPECT_EQ(control.StepsPerColumn(), 4);
    settings.Bpm = 199;
    settings.CrSubdivision = 3;
    ASSERT_TRUE(control.StartCursor(settings));
    EXPECT_EQ(control.StepsPerColumn(), 8);
}

TEST_F(StepSequencerControlTest, CursorScrollsTheViewAheadAndBackToTheStart)
{
    auto settings = GridSettings(4, 16, 8);
    settings.Bpm = 250;
    settings.CrSubdivision = 8;
    Open(settings, 700, 400);
    ASSERT_TRUE(control.StartCursor(settings));
    const int total = control.TotalSteps();
    int ticks = 0;
    while (control.ScrollPosition() == 0 && ticks < total) {
        ASSERT_TRUE(Tick());
        ++ticks;
    }
    EXPECT_EQ(control.ScrollPosition(), 200);
    EXPECT_GT(control.CursorX(), 700.0f);
    EXPECT_LE(control.CursorX(), 704.0f);
    QApplication::processEvents();
    EXPECT_EQ(control.ScrollBar()->value(), 200);

    while (ticks <= total) {
        ASSERT_TRUE(Tick());
        ++ticks;
    }
    EXPECT_FLOAT_EQ(control.CursorX(), 145.0f);
    EXPECT_EQ(control.ScrollPosition(), 0);
}

TEST_F(StepSequencerControlTest, CursorMovesWhenTheStepIsHeardNotAtTheTick)
{
    auto settings = GridSettings(1, 4, 2);
    Open(settings);
    ASSERT_TRUE(control.StartCursor(settings));
    const Core::Moment start = Core::HeardTime::Now();
    std::thread timer([this, start] { control.OnTick(start + std::chrono::milliseconds(60)); });
    timer.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(control.CursorFrames(), 0);
    ASSERT_TRUE(Tick() || control.CursorFrames() > 0);
    EXPECT_GE(Core::HeardTime::Now() - start, std::chrono::milliseconds(55));
    // Stopping does not wait for a step still to be heard.
    std::thread late([this] { control.OnTick(Core::HeardTime::Now() + std::chrono::milliseconds(300)); });
    late.join();
    const Core::Moment stopAt = Core::HeardTime::Now();
    control.StopCursor();
    EXPECT_LT(Core::HeardTime::Now() - stopAt, std::chrono::milliseconds(30));
}

TEST_F(StepSequencerControlTest, LongNamesAreCutWithAnEllipsis)
{
    auto settings = GridSettings(1, 4, 2);
    settings.SoundEngineType = 1;
    for (int v = 0; v < 12; ++v)
        settings.Instrument[v] = static_cast<std::uint32_t>(v);
    Platform::Text::Copy(settings.File[0], u"/samples/Kick.wav");
    Platform::Text::Copy(settings.File[1], u"/samples/An extraordinarily long sample name.wav");
    Open(settings);
    EXPECT_EQ(control.FittedName(0), QStringLiteral("Kick"));
    EXPECT_EQ(control.Grid().RowAt(0).nameLength, 4);
    const QString cut = control.FittedName(1);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("..."))) << cut.toStdString();
    EXPECT_LT(cut.size(), 29);
    EXPECT_TRUE(QStringLiteral("An extraordinarily long sample name").startsWith(cut.chopped(3)));
    EXPECT_EQ(control.Grid().RowAt(1).nameLength, cut.size());
}

// German and French instrument names are longer than English ones: the name column widens for
// them, and the grid moves right with it.
TEST_F(StepSequencerControlTest, InstrumentNamesOfTheLanguageAreShownWhole)
{
    System::SetLanguageFolderForTesting(TICOVA_SOURCE_DIR "/Lang/");
    System::Language german;
    ASSERT_TRUE(german.LoadLanguageFile(u"de"));
    System::SetCurrentLanguage(&german);
    auto settings = GridSettings(1, 4, 2);
    for (int v = 0; v < 12; ++v)
        settings.Instrument[v] = static_cast<std::uint32_t>(v);
    Open(settings);
    System::SetCurrentLanguage(nullptr);
    System::SetLanguageFolderForTesting({});
    EXPECT_EQ(control.FittedName(0), QStringLiteral("Akustische Bassdrum"));
    EXPECT_EQ(control.FittedName(6), QStringLiteral("Geschlossene Hi-Hat"));
    EXPECT_GT(control.CellCentreX(0), StepSequencerControl::FirstColumnX);
    ClickCell(6, 0);
    EXPECT_TRUE(Hit(control.Grid(), 6, 0));
    EXPECT_EQ(control.Grid().HitCount(), 1);
}

}  // namespace

namespace {

// Without a mouse: the cell cursor walks the grid, Space sets and clears, Shift selects, and the
// grid's own keys (Delete, Ctrl+Z) act on what the keyboard did; a screen reader reads the cell.
TEST_F(StepSequencerControlTest, TheKeyboardAloneEditsAndSelectsCells)
{
    Open(GridSettings(2, 4, 2), 400, 300);
    control.setFocus();
    const int columns = control.Grid().ColumnCount();
    ASSERT_EQ(columns, 16);
    Key(Qt::Key_Left);
    Key(Qt::Key_Up);
    EXPECT_EQ(control.CursorRow(), 0);
    EXPECT_EQ(control.CursorColumn(), 0);
    Key(Qt::Key_Space);
    EXPECT_TRUE(Hit(control.Grid(), control.Grid().RowOfDisplayRow(0), 0));
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_Down);
    Key(Qt::Key_Space);
    const int second = control.Grid().RowOfDisplayRow(1);
    EXPECT_TRUE(Hit(control.Grid(), second, 2));
    EXPECT_EQ(control.Grid().HitCount(), 2);
    EXPECT_TRUE(control.CursorCellText().endsWith(QStringLiteral("Bar 1, beat 2, step 1, ") +
                                                  QString::fromUtf16(control.Grid().RowAt(second).name) +
                                                  QStringLiteral(": hit")))
        << control.CursorCellText().toStdString();
    // Space again clears it; Ctrl+Z brings it back.
    Key(Qt::Key_Space);
    EXPECT_FALSE(Hit(control.Grid(), second, 2));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(Hit(control.Grid(), second, 2));

    // Shift and the arrows select the hits from where they began: both, then Delete takes them out.
    Key(Qt::Key_Home, Qt::ShiftModifier);
    Key(Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(control.Grid().SelectedCount(), 2);
    EXPECT_TRUE(control.CursorCellText().endsWith(QStringLiteral(": hit, selected")));
    Key(Qt::Key_Right);  // a plain move keeps the selection and starts none
    EXPECT_EQ(control.Grid().SelectedCount(), 2);
    // Copied, the marker moved by M to the cursor's column, pasted there.
    Key(Qt::Key_C, Qt::ControlModifier);
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    Key(Qt::Key_M);
    EXPECT_EQ(control.Grid().StartColumn(), control.CursorColumn());
    Key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().HitCount(), 4);
    EXPECT_TRUE(Hit(control.Grid(), control.Grid().RowOfDisplayRow(0), control.CursorColumn()));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(control.Grid().HitCount(), 2);
    Key(Qt::Key_A, Qt::ControlModifier);
    Key(Qt::Key_Delete);
    EXPECT_EQ(control.Grid().HitCount(), 0);

    // The cursor stops at the grid's edges, and scrolls a long grid to keep the cell in view.
    Key(Qt::Key_End);
    Key(Qt::Key_Right);
    EXPECT_EQ(control.CursorColumn(), columns - 1);
    Open(GridSettings(4, 16, 8), 700, 400);
    control.setFocus();
    EXPECT_EQ(control.CursorColumn(), 0);
    Key(Qt::Key_End);
    EXPECT_EQ(control.CursorColumn(), control.Grid().ColumnCount() - 1);
    EXPECT_LE(control.CellCentreX(control.CursorColumn()), control.width());
    EXPECT_GT(control.CellCentreX(control.CursorColumn()), 0);
    Key(Qt::Key_Home);
    EXPECT_EQ(control.ScrollPosition(), 0);
}

TEST_F(StepSequencerControlTest, PlusAndMinusStepTheVelocityOfTheCursorsRowAsUndoableEditsAndReadIt)
{
    Configuration::ConfigurationData settings = GridSettings(1, 4, 2);
    for (std::uint32_t& volume : settings.Volume)
        volume = 120;
    Open(settings, 400, 300);
    control.setFocus();
    Key(Qt::Key_Down);
    const int row = control.Grid().RowOfDisplayRow(1);
    const auto volume = [&] { return static_cast<int>(control.Grid().RowAt(row).volume); };
    const std::vector<std::pair<int, Qt::KeyboardModifiers>> keys{
        {Qt::Key_Plus, Qt::NoModifier},        // 127: the top of the scale
        {Qt::Key_Plus, Qt::NoModifier},        // 127 still, nothing to undo
        {Qt::Key_Minus, Qt::NoModifier},       // 117
        {Qt::Key_Minus, Qt::KeypadModifier},   // 107
        {Qt::Key_Minus, Qt::ControlModifier},  // 106
        {Qt::Key_Equal, Qt::NoModifier},       // 116, the unshifted + key
    };
    std::vector<int> volumes;
    for (const auto& [key, modifiers] : keys) {
        Key(key, modifiers);
        volumes.push_back(volume());
    }
    EXPECT_EQ(volumes, (std::vector<int>{127, 127, 117, 107, 106, 116}));
    EXPECT_TRUE(control.CursorCellText().endsWith(QString::fromUtf16(control.Grid().RowAt(row).name) +
                                                  QStringLiteral(": velocity 116")))
        << control.CursorCellText().toStdString();
    EXPECT_EQ(control.Grid().RowAt(control.Grid().RowOfDisplayRow(0)).volume, 120u);
    // Each step is undone on its own, back to the volume the grid opened with.
    std::vector<int> undone;
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Z, Qt::ControlModifier);
        undone.push_back(volume());
    }
    EXPECT_EQ(undone, (std::vector<int>{106, 107, 117, 127, 120}));
    Key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(volume(), 127);
    control.Grid().WriteVolumes(settings);
    EXPECT_EQ(settings.Volume[row], 127u);
    // A move reads the cell again.
    Key(Qt::Key_Right);
    EXPECT_TRUE(control.CursorCellText().endsWith(QStringLiteral(": no hit")));
}

}  // namespace
