#pragma once

#include <string>

namespace Platform {

// The calling thread's last error number (errno).
int LastError() noexcept;

// The system's text for an error number, without a trailing line break.
std::string ErrorText(int code);

// A failed write of a file, for the user: its folder, the system's text and the call that
// failed ("/home/u/.config/Ticova: No space left on device (write)").
std::string WriteProblem(const std::string& path, int code, const char* call);

}  // namespace Platform
