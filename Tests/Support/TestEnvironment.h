#pragma once

#include <string>

namespace Tests {

// Points the program's data folder (configuration, log) at a fresh temporary folder so that
// no test writes beside the test programs or into the user's folders.
void PrepareEnvironment(int argc, char** argv);

// The temporary data folder of this test process, with a trailing '/'.
const std::string& DataFolder();

// A fresh, empty folder under the data folder.
std::string MakeTempFolder(const std::string& name);

}  // namespace Tests
