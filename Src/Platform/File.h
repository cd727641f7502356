#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace Platform {

// A file handle over POSIX calls. Every failing call returns false (or -1) and keeps
// the error number in Error() so the caller can report it.
class File {
public:
    // Every mode opens without blocking and refuses anything that is not a regular file (a
    // FIFO, a device, a folder): Error() is then NotRegularFile.
    enum class Mode {
        Read,            // existing file, read only
        ReadWrite,       // existing file, or created
        Append,          // write at the end, created when missing (private to the user, as the
                         // log and the practice log are), synchronous writes; a symbolic link is
                         // refused
        CreateTruncate,  // created or emptied, write only
        CreateNew        // created, write only, private to the user; fails when the name exists,
                         // even as a symbolic link (temporaries in a folder others might reach)
    };

    // The error of an open that found something other than a regular file.
    static constexpr int NotRegularFile = 0x7E5;

    File() = default;
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open(const std::string& path, Mode mode);
    void Close();
    bool IsOpen() const noexcept { return _fd >= 0; }

    // Bytes read, 0 at the end, -1 on failure.
    long Read(void* buffer, std::size_t size);
    bool Write(const void* data, std::size_t size);
    bool Seek(std::int64_t offset);
    std::int64_t Size();
    bool Flush();

    int Error() const noexcept { return _error; }
    // The name of the last call that failed ("open", "read" ...), for the log.
    const char* FailedCall() const noexcept { return _failedCall; }

    static bool Exists(const std::string& path);
    // Renames, replacing an existing target when replace is true; false otherwise
    // if the target exists.
    static bool Rename(const std::string& from, const std::string& to, bool replace, int* error = nullptr);
    static bool Remove(const std::string& path);
    // The file's contents, or its first `limit` bytes.
    static bool ReadAll(const std::string& path, std::string& contents,
                        std::size_t limit = static_cast<std::size_t>(-1));
    // Writes the whole file through "<path>.tmp" (private, flushed to disk) renamed over it,
    // so that the file is either the old one or the complete new one. On failure the old file
    // stays, and error and call say what failed.
    static bool ReplaceWhole(const std::string& path, std::string_view contents, int* error = nullptr,
                             const char** call = nullptr);

    // The folder a path names its file in ("." for a bare name, "/" for one in the root).
    static std::string FolderOf(const std::string& path);

    // Keeps the file as it is now, byte for byte, as `copy` (replacing an older one): a hard
    // link where the file system has them, else a copy, either made under "<copy>.tmp" and
    // renamed. The file itself is never written. On failure an older copy stays, and error and
    // call say what failed.
    static bool KeepCopy(const std::string& path, const std::string& copy, int* error = nullptr,
                         const char** call = nullptr);

private:
    bool Fail(const char* call);

    int _fd = -1;
    int _error = 0;
    const char* _failedCall = "";
};

}  // namespace Platform
