#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <vector>

#include "GUI/ControlSubClasser.h"

namespace {

// A window that records what the watcher reports and the keys it is handed.
class Watched : public QWidget, public GUI::ControlSubClasser {
public:
    Watched()
    {
        resize(300, 200);
        setMouseTracking(true);
        button = new QPushButton(QStringLiteral("Button"), this);
        GUI::SetControlId(button, 1001);
        button->setGeometry(10, 10, 80, 30);
        slider = new QSlider(Qt::Horizontal, this);
        GUI::SetControlId(slider, 1203);
        slider->setGeometry(10, 60, 200, 24);
        plainLabel = new QLabel(QStringLiteral("Plain"), this);
        GUI::SetControlId(plainLabel, 1004);
        plainLabel->setGeometry(10, 100, 60, 20);
        centredLabel = new QLabel(QStringLiteral("Centred"), this);
        centredLabel->setAlignment(Qt::AlignCenter);
        GUI::SetControlId(centredLabel, 1006);
        centredLabel->setGeometry(100, 100, 60, 20);
    }

    void MouseOverControl(int id) override { reports.push_back(id); }

    std::vector<int> reports;
    std::vector<int> keys;
    QPushButton* button;
    QSlider* slider;
    QLabel* plainLabel;
    QLabel* centredLabel;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
    void mouseMoveEvent(QMouseEvent* event) override { MouseOverBackground(this, event->position().toPoint()); }
};

TEST(ControlSubClasserTest, WatchesEveryChildButPlainLabels)
{
    Watched window;
    GUI::ControlSubClasser::SubClassChildControls(&window, &window);
    EXPECT_TRUE(GUI::ControlSubClasser::IsSubClassed(window.button));
    EXPECT_TRUE(GUI::ControlSubClasser::IsSubClassed(window.slider));
    EXPECT_TRUE(GUI::ControlSubClasser::IsSubClassed(window.centredLabel));
    EXPECT_FALSE(GUI::ControlSubClasser::IsSubClassed(window.plainLabel));
    // Twice is once.
    GUI::ControlSubClasser::SubClassChildControls(&window, &window);
    EXPECT_EQ(window.button->findChildren<QObject*>(QStringLiteral("ControlSubClasser")).size(), 1);
    GUI::ControlSubClasser::RestoreChildControls(&window);
    EXPECT_FALSE(GUI::ControlSubClasser::IsSubClassed(window.button));
}

TEST(ControlSubClasserTest, ReportsEachNewControlUnderTheMouseOnce)
{
    Watched window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    GUI::ControlSubClasser::SubClassChildControls(&window, &window);
    QTest::mouseMove(window.button, QPoint(5, 5));
    QTest::mouseMove(window.button, QPoint(20, 10));
    QTest::mouseMove(window.centredLabel, QPoint(5, 5));
    QTest::mouseMove(&window, QPoint(250, 150));
    QTest::mouseMove(&window, QPoint(260, 160));
    QTest::mouseMove(window.slider, QPoint(5, 5));
    EXPECT_EQ(window.reports, (std::vector<int>{1001, 1006, -1, 1203}));
    EXPECT_EQ(window.LastControl, 1203);
    // The slider under the mouse takes the keyboard focus; a button does not.
    EXPECT_TRUE(window.slider->hasFocus());
    // After restoring, the controls are background like the rest.
    GUI::ControlSubClasser::RestoreChildControls(&window);
    QTest::mouseMove(window.button, QPoint(5, 5));
    QTest::mouseMove(window.button, QPoint(9, 9));
    EXPECT_EQ(window.reports, (std::vector<int>{1001, 1006, -1, 1203, -1}));
}

TEST(ControlSubClasserTest, ForwardsKeysOfTheChosenControlsOnly)
{
    Watched window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    GUI::ControlSubClasser::SubClassChildControls(&window, &window);
    GUI::ControlSubClasser::ForwardKeysToParent(&window, 1203, 0, 0);
    window.slider->setValue(50);
    window.slider->setFocus();
    QTest::keyClick(window.slider, Qt::Key_Right);
    EXPECT_EQ(window.slider->value(), 50);  // the slider never saw it
    EXPECT_EQ(window.keys, (std::vector<int>{Qt::Key_Right}));
    // The button keeps its keys.
    window.button->setFocus();
    QTest::keyClick(window.button, Qt::Key_Right);
    EXPECT_EQ(window.keys.size(), 1u);
}

}  // namespace
