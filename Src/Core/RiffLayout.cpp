#include "Core/RiffLayout.h"

#include "Platform/File.h"

namespace Core::Riff {

long long ReadFully(Platform::File& file, void* buffer, std::size_t size)
{
    unsigned char* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < size) {
        // One read of a regular file returns at most about 2 GB; ask in pieces below that.
        const std::size_t piece = size - done < (1u << 30) ? size - done : (1u << 30);
        const long count = file.Read(bytes + done, piece);
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    return static_cast<long long>(done);
}

}  // namespace Core::Riff
