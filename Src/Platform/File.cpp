#include "Platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace Platform {

File::~File()
{
    Close();
}

bool File::Fail(const char* call)
{
    _error = errno;
    _failedCall = call;
    return false;
}

bool File::Open(const std::string& path, Mode mode)
{
    Close();
    // O_NONBLOCK: a FIFO or a device under a file's name must not hang the caller in open.
    int flags = O_CLOEXEC | O_NONBLOCK;
    mode_t permissions = 0644;
    switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR | O_CREAT; break;
    case Mode::Append:
        flags |= O_WRONLY | O_CREAT | O_APPEND | O_DSYNC | O_NOFOLLOW;
        permissions = 0600;
        break;
    case Mode::CreateTruncate: flags |= O_WRONLY | O_CREAT | O_TRUNC; break;
    case Mode::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
        permissions = 0600;
        break;
    }
    do {
        _fd = ::open(path.c_str(), flags, permissions);
    } while (_fd < 0 && errno == EINTR);
    if (_fd < 0)
        return Fail("open");
    struct stat status {};
    if (::fstat(_fd, &status) != 0) {
        Fail("fstat");
        Close();
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        Close();
        _error = NotRegularFile;
        _failedCall = "open";
        return false;
    }
    // Reads and writes of a regular file block as usual.
    ::fcntl(_fd, F_SETFL, ::fcntl(_fd, F_GETFL) & ~O_NONBLOCK);
    return true;
}

void File::Close()
{
    if (_fd >= 0)
        ::close(_fd);
    _fd = -1;
}

long File::Read(void* buffer, std::size_t size)
{
    ssize_t count;
    do {
        count = ::read(_fd, buffer, size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        Fail("read");
        return -1;
    }
    return static_cast<long>(count);
}

bool File::Write(const void* data, std::size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t count = ::write(_fd, bytes, size);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return Fail("write");
        }
        bytes += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

bool File::Seek(std::int64_t offset)
{
    if (::lseek(_fd, static_cast<off_t>(offset), SEEK_SET) < 0)
        return Fail("lseek");
    return true;
}

std::int64_t File::Size()
{
    struct stat status {};
    if (::fstat(_fd, &status) != 0) {
        Fail("fstat");
        return -1;
    }
    return static_cast<std::int64_t>(status.st_size);
}

bool File::Flush()
{
    if (::fsync(_fd) != 0)
        return Fail("fsync");
    return true;
}

bool File::Exists(const std::string& path)
{
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0;
}

bool File::Rename(const std::string& from, const std::string& to, bool replace, int* error)
{
    int result;
    if (replace)
        result = ::rename(from.c_str(), to.c_str());
    else
        result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && !replace && errno == EINVAL) {
        // File systems without RENAME_NOREPLACE: a hard link refuses an existing target.
        result = ::link(from.c_str(), to.c_str());
        if (result == 0)
            ::unlink(from.c_str());
    }
    if (result != 0 && error)
        *error = errno;
    return result == 0;
}

bool File::Remove(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

std::string File::FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool File::ReadAll(const std::string& path, std::string& contents, std::size_t limit)
{
    File file;
    if (!file.Open(path, Mode::Read))
        return false;
    contents.clear();
    char buffer[65536];
    while (contents.size() < limit) {
        long count = file.Read(buffer, std::min(sizeof buffer, limit - contents.size()));
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        contents.append(buffer, static_cast<std::size_t>(count));
    }
    return true;
}

namespace {

// A file written under "<target>.tmp" and renamed over its target once it is whole, so that the
// target is never seen half written. Whatever fails removes the temporary and says why.
class Temporary {
public:
    Temporary(const std::string& target, int* error, const char** call)
        : _target(target), _path(target + ".tmp"), _error(error), _call(call)
    {
        File::Remove(_path);
    }
    const std::string& Path() const noexcept { return _path; }
    File& Written() noexcept { return _file; }

    bool Fail(int code, const char* what)
    {
        _file.Close();
        File::Remove(_path);
        if (_error)
            *_error = code;
        if (_call)
            *_call = what;
        return false;
    }
    bool FailWriting() { return Fail(_file.Error(), _file.FailedCall()); }
    // Flushes what was written (when anything was opened) and puts it in the target's place.
    bool Commit()
    {
        if (_file.IsOpen() && !_file.Flush())
            return FailWriting();
        _file.Close();
        int renameError = 0;
        if (!File::Rename(_path, _target, true, &renameError))
            return Fail(renameError, "rename");
        return true;
    }

private:
    std::string _target;
    std::string _path;
    int* _error;
    const char** _call;
    File _file;
};

}  // namespace

bool File::ReplaceWhole(const std::string& path, std::string_view contents, int* error, const char** call)
{
    Temporary temporary(path, error, call);
    File& file = temporary.Written();
    if (!file.Open(temporary.Path(), Mode::CreateNew) || !file.Write(contents.data(), contents.size()))
        return temporary.FailWriting();
    return temporary.Commit();
}

bool File::KeepCopy(const std::string& path, const std::string& copy, int* error, const char** call)
{
    Temporary temporary(copy, error, call);
    File original;
    // Opened first: only a file that can be read is kept.
    if (!original.Open(path, Mode::Read))
        return temporary.Fail(original.Error(), original.FailedCall());
    // A link costs neither time nor room, whatever the size of the file: the file is replaced
    // by renames, never written in place, so the copy keeps its bytes.
    struct stat status {};
    const bool link = ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
    if (link && ::linkat(AT_FDCWD, path.c_str(), AT_FDCWD, temporary.Path().c_str(), 0) == 0)
        return temporary.Commit();
    File& written = temporary.Written();
    if (!written.Open(temporary.Path(), Mode::CreateNew))
        return temporary.FailWriting();
    char buffer[65536];
    for (;;) {
        const long count = original.Read(buffer, sizeof buffer);
        if (count < 0)
            return temporary.Fail(original.Error(), original.FailedCall());
        if (count == 0)
            break;
        if (!written.Write(buffer, static_cast<std::size_t>(count)))
            return temporary.FailWriting();
    }
    return temporary.Commit();
}

}  // namespace Platform
