#include "talkdata/wholefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vox {
namespace {

constexpr uint64_t kMaxFileSize = 0xFFFFFFFFu;

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& why) {
    out.clear();
    // O_NONBLOCK: a FIFO at that name must not wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0;
    if (!ok) why = std::strerror(errno);
    if (ok && S_ISDIR(info.st_mode)) {
        why = std::strerror(EISDIR);
        ok = false;
    } else if (ok && !S_ISREG(info.st_mode)) {
        why = "not a regular file";
        ok = false;
    }
    if (ok && static_cast<uint64_t>(info.st_size) > kMaxFileSize) {
        why = "file is larger than 4 GiB";
        ok = false;
    }
    if (ok) out.resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (ok && done < out.size()) {
        const ssize_t got = read(fd, out.data() + done, out.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            why = std::strerror(errno);
            ok = false;
        } else if (got == 0) {
            // Someone else is rewriting it in place: half a file must not pass for a whole one.
            why = "the file shrank while it was read";
            ok = false;
        } else {
            done += static_cast<size_t>(got);
        }
    }
    close(fd);
    if (!ok) out.clear();
    return ok;
}

}  // namespace vox
