#include "System/Language.h"

#include <mutex>
#include <string>
#include <vector>

#include "Platform/ProgramFolder.h"

// Where the language files are looked for.
namespace System {

namespace {

std::mutex folderMutex;
std::string testFolder;

}  // namespace

std::string LanguageFolder()
{
    {
        std::lock_guard lock(folderMutex);
        if (!testFolder.empty())
            return testFolder;
    }
    return Platform::SharedDataFolder() + "Lang/";
}

std::vector<std::string> LanguageFolders()
{
    {
        std::lock_guard lock(folderMutex);
        if (!testFolder.empty())
            return {testFolder};
    }
    std::vector<std::string> folders;
    for (const std::string& shared : Platform::SharedDataFolders())
        folders.push_back(shared + "Lang/");
    return folders;
}

void SetLanguageFolderForTesting(const std::string& folder)
{
    std::lock_guard lock(folderMutex);
    testFolder = folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

}  // namespace System
