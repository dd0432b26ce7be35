#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "talkdata/bytes.h"

namespace vox {

// Where a writer puts its bytes: a file, a buffer in a test.
class ByteSink {
  public:
    virtual ~ByteSink() = default;
    virtual bool Write(const void* data, size_t size) = 0;
};

// Writes a file so that a reader sees either the old or the complete new version: the bytes go
// to a temporary file in the target's folder, which is flushed to disk and renamed over the
// target in one step. Any failure leaves the target as it was and removes the temporary file.
class SafeFile : public ByteSink {
  public:
    SafeFile() = default;
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;
    ~SafeFile() override;

    // Creates the temporary file in the target's folder: tempPath when given (created without
    // following a symlink that may stand at that name: what is there is removed first), else a
    // unique name. The temporary file gets the target's permission bits when the target exists.
    bool Begin(const std::string& targetPath, const std::string& tempPath = "");
    bool Write(const void* data, size_t size) override;  // buffered
    // Flush, fsync, close, rename over the target, fsync the folder. False leaves the target
    // untouched and removes the temporary file.
    bool Commit();
    void Abort();  // close and remove the temporary file

    bool IsActive() const { return fd_ >= 0; }
    const std::string& GetTempPath() const { return tempPath_; }
    const std::string& GetError() const { return error_; }

  private:
    bool CreateNamedTemp(const std::string& tempPath);
    bool CreateUniqueTemp(const std::string& targetPath);
    bool FlushBuffer();
    bool WriteAll(const uint8_t* data, size_t size);
    bool Fail(int errorNumber);
    void SyncFolder() const;

    std::string targetPath_;
    std::string tempPath_;
    std::string error_;
    std::vector<uint8_t> buffer_;
    int fd_ = -1;
    bool failed_ = false;
};

// Begin, one Write, Commit. On failure why (when given) says what went wrong.
bool WriteFileSafely(const std::string& path, ByteSpan bytes, std::string* why = nullptr);

// The folder that holds path, with its trailing '/', or "" for a bare name (current folder).
std::string FolderOf(const std::string& path);

}  // namespace vox
