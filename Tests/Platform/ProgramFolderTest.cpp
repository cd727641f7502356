#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "Platform/ProgramFolder.h"
#include "Support/TestEnvironment.h"

namespace {

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : _name(name)
    {
        if (const char* old = std::getenv(name))
            _old = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        if (_old)
            ::setenv(_name, _old->c_str(), 1);
        else
            ::unsetenv(_name);
    }

private:
    const char* _name;
    std::optional<std::string> _old;
};

}  // namespace

TEST(ProgramFolder, IsTheFolderOfTheRunningProgram)
{
    const std::string folder = Platform::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::exists(folder + "PlatformTests"));
}

TEST(ProgramFolder, DataFolderIsBesideAWritableProgram)
{
    const std::string folder = Tests::MakeTempFolder("writable");
    EXPECT_EQ(Platform::DataFolderFor(folder), folder);
    EXPECT_EQ(Platform::DataFolderFor(folder.substr(0, folder.size() - 1)), folder);
}

TEST(ProgramFolder, DataFolderFallsBackToTheUserConfigurationFolder)
{
    const std::string base = Tests::MakeTempFolder("xdg");
    const std::string unwritable = base + "no-such-folder/";
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", (base + "config").c_str());
        EXPECT_EQ(Platform::DataFolderFor(unwritable), base + "config/Ticova/");
        EXPECT_TRUE(std::filesystem::is_directory(base + "config/Ticova"));
    }
    {
        // A relative XDG_CONFIG_HOME is ignored, as XDG asks; $HOME/.config is used.
        ScopedEnvironment xdg("XDG_CONFIG_HOME", "relative/config");
        ScopedEnvironment home("HOME", (base + "home").c_str());
        EXPECT_EQ(Platform::DataFolderFor(unwritable), base + "home/.config/Ticova/");
        EXPECT_TRUE(std::filesystem::is_directory(base + "home/.config/Ticova"));
    }
}

TEST(ProgramFolder, InstalledCopyUsesTheFhsFoldersAndKeepsNothingBesideItself)
{
    namespace fs = std::filesystem;
    const std::string base = Tests::MakeTempFolder("fhs");
    fs::create_directories(base + "usr/bin");
    fs::create_directories(base + "usr/share/ticova/Lang");
    fs::create_directories(base + "build/bin");
    EXPECT_EQ(Platform::InstallPrefixFor(base + "usr/bin/"), base + "usr/");
    EXPECT_EQ(Platform::InstallPrefixFor(base + "usr/bin"), base + "usr/");
    EXPECT_EQ(Platform::InstallPrefixFor(base + "build/bin/"), "");  // no share/ticova beside it
    EXPECT_EQ(Platform::InstallPrefixFor(base + "usr/share/"), "");

    // Even where the user may write to the prefix, settings and log go to the XDG folders.
    ScopedEnvironment config("XDG_CONFIG_HOME", (base + "config").c_str());
    ScopedEnvironment state("XDG_STATE_HOME", (base + "state").c_str());
    EXPECT_EQ(Platform::DataFolderFor(base + "usr/bin/"), base + "config/Ticova/");
    EXPECT_EQ(Platform::StateFolderFor(base + "usr/bin/"), base + "state/Ticova/");
    EXPECT_TRUE(fs::is_directory(base + "state/Ticova"));
    // A build keeps its log beside the program.
    EXPECT_EQ(Platform::StateFolderFor(base + "build/bin/"), base + "build/bin/");
    {
        ScopedEnvironment relative("XDG_STATE_HOME", "relative");
        ScopedEnvironment home("HOME", (base + "home").c_str());
        EXPECT_EQ(Platform::StateFolderFor(base + "usr/bin/"), base + "home/.local/state/Ticova/");
    }
}

TEST(ProgramFolder, SharedDataIsLookedUpInTheUsersFolderFirstThenEachDataFolderOnce)
{
    const std::string shipped = Platform::SharedDataFolder();
    ScopedEnvironment data("XDG_DATA_HOME", "/home/someone/data");
    ScopedEnvironment dirs("XDG_DATA_DIRS", "/opt/share:relative::/usr/share/:/opt/share/");
    const std::vector<std::string> expected{"/home/someone/data/Ticova/", shipped, "/opt/share/ticova/",
                                            "/usr/share/ticova/"};
    EXPECT_EQ(Platform::SharedDataFolders(), expected);
    {
        ScopedEnvironment noDirs("XDG_DATA_DIRS", nullptr);
        ScopedEnvironment home("HOME", "/home/someone");
        ScopedEnvironment noData("XDG_DATA_HOME", nullptr);
        const std::vector<std::string> defaults{"/home/someone/.local/share/Ticova/", shipped,
                                                "/usr/local/share/ticova/", "/usr/share/ticova/"};
        EXPECT_EQ(Platform::SharedDataFolders(), defaults);
    }
}

// A data folder another user owns or can write is never used: its files could be swapped for
// links. The program's folder then gives way to the user's own; a per-user folder that is not
// private leaves no data folder at all, with the reason.
TEST(ProgramFolder, DataFolderOthersCanWriteOrOwnIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to make folders owned by another user";
    const std::string base = Tests::MakeTempFolder("foreign");
    const std::string foreign = base + "foreign/";
    std::filesystem::create_directories(foreign);
    ASSERT_EQ(::chown(foreign.c_str(), 4321, 4321), 0);
    const std::string shared = base + "shared/";
    std::filesystem::create_directories(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 0777), 0);
    ASSERT_EQ(::chmod(base.c_str(), 0700), 0);
    // Writable by the user's own private group only: still the user's alone.
    const std::string ownGroup = base + "own-group/";
    std::filesystem::create_directories(ownGroup);
    ASSERT_EQ(::chmod(ownGroup.c_str(), 0770), 0);
    EXPECT_EQ(Platform::FolderProblem(ownGroup), "");
    ASSERT_EQ(::chown(ownGroup.c_str(), 0, 4321), 0);
    EXPECT_NE(Platform::FolderProblem(ownGroup), "");

    ScopedEnvironment xdg("XDG_CONFIG_HOME", (base + "config").c_str());
    std::string problem;
    EXPECT_EQ(Platform::DataFolderFor(foreign, &problem), base + "config/Ticova/");
    EXPECT_EQ(Platform::DataFolderFor(shared, &problem), base + "config/Ticova/");
    EXPECT_EQ(problem, "");

    std::filesystem::create_directories(base + "other/Ticova");
    ASSERT_EQ(::chown((base + "other/Ticova").c_str(), 4321, 4321), 0);
    ScopedEnvironment otherXdg("XDG_CONFIG_HOME", (base + "other").c_str());
    EXPECT_EQ(Platform::DataFolderFor(foreign, &problem), "");
    EXPECT_NE(problem.find("belongs to another user (4321)"), std::string::npos) << problem;
    ASSERT_EQ(::chown((base + "other/Ticova").c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod((base + "other/Ticova").c_str(), 0777), 0);
    EXPECT_EQ(Platform::DataFolderFor(foreign, &problem), "");
    EXPECT_NE(problem.find("can be written by other users"), std::string::npos) << problem;
}
