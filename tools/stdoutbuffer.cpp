#include "tools/stdoutbuffer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace vox::tool {

namespace {

constexpr size_t kBufferSize = 64 * 1024;

}  // namespace

StdoutBuffer::StdoutBuffer(int fd) : fd_(fd) {
    // Without a put area every write goes straight through, as a terminal's reader wants it.
    if (isatty(fd) != 1) buffer_.resize(kBufferSize);
    Reset();
}

StdoutBuffer::~StdoutBuffer() { Drain(); }

bool StdoutBuffer::WriteAll(const char* data, size_t size) {
    if (error_ != 0) return false;
    while (size > 0) {
        const ssize_t written = write(fd_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            error_ = written < 0 ? errno : EIO;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

void StdoutBuffer::Reset() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

bool StdoutBuffer::Drain() {
    const bool written = WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
    Reset();
    return written;
}

StdoutBuffer::int_type StdoutBuffer::overflow(int_type c) {
    if (!Drain()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    if (buffer_.empty()) return WriteAll(&byte, 1) ? c : traits_type::eof();
    *pptr() = byte;
    pbump(1);
    return c;
}

std::streamsize StdoutBuffer::xsputn(const char* data, std::streamsize size) {
    if (size <= epptr() - pptr()) {
        std::copy(data, data + size, pptr());
        pbump(static_cast<int>(size));
        return size;
    }
    if (!Drain() || !WriteAll(data, static_cast<size_t>(size))) return 0;
    return size;
}

int StdoutBuffer::sync() { return Drain() ? 0 : -1; }

}  // namespace vox::tool
