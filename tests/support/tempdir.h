#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vox::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes away.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path() + "/" + name
    std::string File(const std::string& name) const;
    // Writes text into File(name); returns that path.
    std::string Write(const std::string& name, const std::string& text) const;

  private:
    std::string path_;
};

using Bytes = std::vector<uint8_t>;

// In one read: the snapshots of large talk files must not cost seconds in a debug build.
// Throws when the file cannot be read, so a test never compares against nothing by mistake.
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);
// Names of the entries of a folder, sorted.
std::vector<std::string> ListFolder(const std::string& path);

// The bytes of every regular file in a folder, by name: what a test compares before and after a
// failure to prove that nothing changed, and nothing was left behind.
using FolderSnapshot = std::map<std::string, Bytes>;
FolderSnapshot SnapshotFolder(const std::string& folder);

}  // namespace vox::test
