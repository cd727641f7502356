#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <vector>

#include "GUI/ControlSubClasser.h"

namespace {

class Target final : public GUI::ControlSubClasser {
public:
    void MouseOverControl(int) override {}
};

// A filtered edit straight in a window: nothing but the accepted characters gets in, by
// any way of entering text.
TEST(FilteredEditTest, NothingButTheAcceptedCharactersGetsIn)
{
    QWidget window;
    window.resize(200, 60);
    auto* edit = new QLineEdit(&window);
    edit->setGeometry(5, 5, 150, 24);
    Target target;
    GUI::ControlSubClasser::SubClassChildControls(&window, &target);
    std::vector<char16_t> rejected;
    GUI::ControlSubClasser::SetAcceptedCharacters(edit, QStringLiteral("0123456789+"),
                                                  [&](QWidget* control, char16_t character) {
                                                      EXPECT_EQ(control, edit);
                                                      rejected.push_back(character);
                                                  });
    EXPECT_EQ(GUI::ControlSubClasser::AcceptedCharacters(edit), QStringLiteral("0123456789+"));
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();

    QTest::keyClicks(edit, QStringLiteral("3+x2"));
    EXPECT_EQ(edit->text(), QStringLiteral("3+2"));
    EXPECT_EQ(rejected, (std::vector<char16_t>{u'x'}));
    // Composed text is kept out; a paste is filtered as typing is.
    QApplication::clipboard()->setText(QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("zz"));
    QApplication::sendEvent(edit, &composed);
    EXPECT_EQ(edit->text(), QStringLiteral("3+2"));
    QApplication::clipboard()->setText(QStringLiteral("+1y4"));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("3+2+14"));
    EXPECT_EQ(rejected, (std::vector<char16_t>{u'x', u'a', u'y'}));
    // The editing shortcuts do their work and raise no complaint.
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(edit->selectedText(), QStringLiteral("3+2+14"));
    QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("3+2+14"));
    QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QString());
    QTest::keyClick(edit, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(edit->text(), QStringLiteral("3+2+14"));
    EXPECT_EQ(rejected.size(), 3u);
    EXPECT_EQ(edit->contextMenuPolicy(), Qt::NoContextMenu);
    EXPECT_FALSE(edit->acceptDrops());
    // Escape closes the window the edit sits in.
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST(FilteredEditTest, OnlyWatchedControlsCanBeFiltered)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    GUI::ControlSubClasser::SetAcceptedCharacters(edit, QStringLiteral("1"), {});
    EXPECT_TRUE(GUI::ControlSubClasser::AcceptedCharacters(edit).isEmpty());
    QTest::keyClicks(edit, QStringLiteral("ab"));
    EXPECT_EQ(edit->text(), QStringLiteral("ab"));
}

}  // namespace
