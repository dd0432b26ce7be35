#pragma once

#include <streambuf>
#include <vector>

namespace vox::tool {

// The buffer behind std::cout: writes straight to a file descriptor and keeps the reason of the
// first failed write, which the C library's stream would lose by the time the tool exits. After
// a failure it takes no more bytes, so the stream reports the failure to every later writer.
// On a terminal nothing is held back, so that a person sees results as they come.
class StdoutBuffer : public std::streambuf {
  public:
    explicit StdoutBuffer(int fd);
    ~StdoutBuffer() override;
    StdoutBuffer(const StdoutBuffer&) = delete;
    StdoutBuffer& operator=(const StdoutBuffer&) = delete;

    // Writes bytes after whatever is buffered; false when that failed.
    bool WriteAll(const char* data, size_t size);
    // The errno of the first failed write, 0 while none failed.
    int Error() const { return error_; }

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* data, std::streamsize size) override;
    int sync() override;

  private:
    bool Drain();

    void Reset();

    int fd_;
    int error_ = 0;
    std::vector<char> buffer_;
};

}  // namespace vox::tool
