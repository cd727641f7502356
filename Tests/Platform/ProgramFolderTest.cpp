#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

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
