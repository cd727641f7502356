#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QWidget>

#include "GUI/BeatsPerMinuteDisplay.h"
#include "GUI/ControlId.h"

namespace {

class BeatsPerMinuteDisplayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent.resize(400, 300);
        display = new GUI::BeatsPerMinuteDisplay(&parent);
        ASSERT_TRUE(display->CreateBeatsPerMinuteDisplay(&parent, 95));
        display->UpdateLabel(QStringLiteral("bpm"));
    }

    // Columns of the read-out that hold ink darker than the background's face.
    static std::pair<int, int> InkColumns(const QImage& image)
    {
        int left = image.width(), right = -1;
        for (int y = 10; y < image.height() - 10; ++y)
            for (int x = 8; x < image.width() - 8; ++x)
                if (qGray(image.pixel(x, y)) < 100) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        return {left, right};
    }

    QWidget parent;
    GUI::BeatsPerMinuteDisplay* display = nullptr;
};

TEST_F(BeatsPerMinuteDisplayTest, PlacedWithItsIdentifierAndTempo)
{
    EXPECT_EQ(display->geometry(), QRect(10, 70, 200, 80));
    EXPECT_EQ(GUI::ControlId(display), 1201);
    EXPECT_EQ(display->Tempo(), 95);
}

TEST_F(BeatsPerMinuteDisplayTest, LabelSitsOnTheDigitsBaseline)
{
    QFontMetrics digits(display->DigitFont());
    QFontMetrics label(display->LabelFont());
    EXPECT_EQ(display->DigitTop() + digits.ascent(), display->LabelTop() + label.ascent());
    // The digits fit the height of the read-out.
    EXPECT_GE(display->DigitTop() + digits.ascent() + digits.descent(), 40);
    EXPECT_LE(display->DigitTop() + digits.ascent(), 80);
    EXPECT_GT(display->DigitFont().pointSize(), display->LabelFont().pointSize() * 4);
}

TEST_F(BeatsPerMinuteDisplayTest, NumberAndLabelStayCentredForTwoAndThreeDigits)
{
    for (int tempo : {10, 400}) {
        display->SetTempo(tempo);
        QImage image = display->grab().toImage();
        auto [left, right] = InkColumns(image);
        ASSERT_LT(left, right) << tempo;
        int middle = (left + right) / 2;
        EXPECT_NEAR(middle, 100, 12) << tempo;
    }
    // Three digits are wider than two.
    display->SetTempo(10);
    auto two = InkColumns(display->grab().toImage());
    display->SetTempo(400);
    auto three = InkColumns(display->grab().toImage());
    EXPECT_GT(three.second - three.first, two.second - two.first);
}

TEST_F(BeatsPerMinuteDisplayTest, LabelIsCutToFifteenCharacters)
{
    display->UpdateLabel(QStringLiteral("123456789012345"));
    EXPECT_EQ(display->Label(), QStringLiteral("123456789012345"));
    display->UpdateLabel(QStringLiteral("battements par minute"));
    EXPECT_EQ(display->Label().size(), 15);
}

}  // namespace
