#include "Configuration/SaveFailure.h"

#include "Platform/ProgramFolder.h"
#include "Platform/SystemError.h"

namespace Configuration {

std::string SaveFailure::Problem(const std::string& path) const
{
    if (error == 0)
        return {};
    if (path.empty())
        return Platform::DataFolderProblem();
    return Platform::WriteProblem(path, error, call);
}

}  // namespace Configuration
