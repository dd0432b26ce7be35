#include "lookup/textfile.h"

#include <cstdio>
#include <memory>

namespace vox {

bool ReadTextFile(const std::string& path, std::string& text) {
    text.clear();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) return false;
    char buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, got);
    return std::ferror(file.get()) == 0;
}

bool NextTextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) return false;
    const size_t end = text.find('\n');
    if (end == std::string_view::npos) {
        line = text;
        text = {};
        return true;
    }
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
}

}  // namespace vox
