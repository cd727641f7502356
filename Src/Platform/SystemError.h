#pragma once

#include <string>

namespace Platform {

// The calling thread's last error number (errno).
int LastError() noexcept;

// The system's text for an error number, without a trailing line break.
std::string ErrorText(int code);

}  // namespace Platform
