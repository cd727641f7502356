#include "TestEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "Platform/ProgramFolder.h"

namespace Tests {

namespace {
std::string dataFolder;
}

void PrepareEnvironment(int, char**)
{
    char pattern[] = "/tmp/ticova-tests-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    dataFolder = std::string(made ? made : "/tmp") + "/";
    Platform::SetDataFolderForTesting(dataFolder);
    static struct Cleanup {
        ~Cleanup()
        {
            std::error_code ignored;
            if (dataFolder.rfind("/tmp/ticova-tests-", 0) == 0)
                std::filesystem::remove_all(dataFolder, ignored);
        }
    } cleanup;
}

const std::string& DataFolder()
{
    return dataFolder;
}

std::string MakeTempFolder(const std::string& name)
{
    std::string folder = dataFolder + name + "/";
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    std::filesystem::create_directories(folder, ignored);
    return folder;
}

}  // namespace Tests
