#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>

#include "Configuration/ExtraSettings.h"
#include "GUI/LinkControl.h"
#include "Platform/LinkSession.h"

namespace {

// Off until the user turns it on, since it talks on the local network: a control made with the
// choice off leaves the session's engine unmade (nothing is sent), and offers both items in the
// menu. (Joining is tested only inside a private network namespace: Platform and EndToEnd.)
TEST(LinkControl, StaysOffTheNetworkUnlessChosenAndKeepsTheStartStopChoice)
{
    Configuration::ExtraSettings& extras = Configuration::GetExtraSettings();
    extras.SetFlag("link.enabled", false);
    Platform::LinkSession session;
    {
        GUI::LinkControl control(nullptr, session);
        QMenu menu;
        control.Place(&menu);
        EXPECT_FALSE(control.Toggle()->isChecked());
        EXPECT_FALSE(session.Enabled());
        EXPECT_EQ(session.CurrentTempo(), 0.0);  // no engine made at all
        EXPECT_EQ(menu.actions().size(), 2);
        EXPECT_EQ(control.Toggle()->text(), QStringLiteral("Lin&k"));

        const bool before = extras.Flag("link.startstop", false);
        control.StartStopItem()->trigger();
        EXPECT_EQ(session.StartStopSync(), !before);
        EXPECT_EQ(extras.Flag("link.startstop", before), !before);
        control.StartStopItem()->trigger();
        EXPECT_EQ(extras.Flag("link.startstop", !before), before);
    }
    EXPECT_FALSE(session.Enabled());
}

}  // namespace
