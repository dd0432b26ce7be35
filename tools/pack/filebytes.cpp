#include "tools/pack/filebytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vox::pack {

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& bytes, std::string& why) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (!ok) why = std::strerror(errno);
    if (ok && !S_ISREG(info.st_mode)) {
        why = "not a regular file";
        ok = false;
    }
    if (ok && static_cast<uint64_t>(info.st_size) > 0xFFFFFFFFu) {
        why = "file is larger than 4 GiB";
        ok = false;
    }
    std::vector<uint8_t> data(ok ? static_cast<size_t>(info.st_size) : 0);
    size_t done = 0;
    while (ok && done < data.size()) {
        const ssize_t got = read(fd, data.data() + done, data.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            why = got < 0 ? std::strerror(errno) : "the file shrank while it was read";
            ok = false;
        } else {
            done += static_cast<size_t>(got);
        }
    }
    close(fd);
    if (ok) bytes = std::move(data);
    return ok;
}

}  // namespace vox::pack
