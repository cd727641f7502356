#pragma once

#include <string>

#include "Platform/File.h"
#include "Support/RecordingLog.h"

namespace Tests {

inline void WriteBytes(const std::string& path, const std::string& contents)
{
    Platform::File file;
    file.Open(path, Platform::File::Mode::CreateTruncate);
    file.Write(contents.data(), contents.size());
}

inline std::string ReadBytes(const std::string& path)
{
    std::string contents;
    Platform::File::ReadAll(path, contents);
    return contents;
}

}  // namespace Tests
