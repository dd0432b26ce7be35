#include "talkdata/talkhistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "talkdata/safefile.h"
#include "talkdata/voxfile.h"
#include "talkdata/wholefile.h"

namespace vox {
namespace {

constexpr size_t kFieldCount = 9;
constexpr const char* kHex = "0123456789abcdef";

bool Refuse(std::string* why, const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
}

std::string EscapeName(const std::string& name) {
    std::string out;
    for (const char c : name) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool UnescapeName(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int high = HexDigit(text[i + 1]);
        const int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0) return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// A decimal number of at most max, without sign or leading blanks.
bool ParseNumber(std::string_view text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max) return false;
    out = value;
    return true;
}

// "123", or "x123" for an entry that compact dropped.
bool ParseOffset(std::string_view text, uint32_t& out, bool& dropped) {
    dropped = !text.empty() && text[0] == 'x';
    if (dropped) text.remove_prefix(1);
    uint64_t value = 0;
    if (!ParseNumber(text, 0xFFFFFFFFu, value) || value == 0) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

std::string OffsetText(uint32_t offset, bool dropped) {
    return (dropped ? "x" : "") + std::to_string(offset);
}

// "YYYY-MM-DDTHH:MM:SSZ", digits where digits belong.
bool IsTime(std::string_view text) {
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) return false;
    for (size_t i = 0; i < kShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return false;
    }
    return true;
}

bool IsHash(std::string_view text) {
    if (text == "-") return true;
    if (text.size() != 16) return false;
    for (const char c : text) {
        if (HexDigit(c) < 0 || (c >= 'A' && c <= 'F')) return false;
    }
    return true;
}

std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    while (fields.size() + 1 < kFieldCount) {
        const size_t tab = text.find('\t', start);
        if (tab == std::string_view::npos) break;
        fields.push_back(text.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(text.substr(start));  // the source name, which may hold anything but '\t'
    return fields;
}

bool FailErrno(std::string* why, const std::string& path) {
    return Refuse(why, path + ": " + std::strerror(errno));
}

bool WriteWhole(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Whether the file's last byte is a newline (an empty file counts as ended).
bool EndsWithNewline(int fd, bool& ended) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return false;
    if (st.st_size == 0) {
        ended = true;
        return true;
    }
    char last = 0;
    if (::pread(fd, &last, 1, st.st_size - 1) != 1) return false;
    ended = last == '\n';
    return true;
}

}  // namespace

std::string ContentHash(ByteSpan bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<size_t>(i)] = kHex[hash & 0xF];
    return text;
}

std::string HistoryPath(const std::string& talkPath) { return talkPath + ".history"; }

std::string HistoryTimeNow() {
    const time_t now = time(nullptr);
    struct tm utc {};
    gmtime_r(&now, &utc);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string HistoryLineText(const HistoryLine& line) {
    std::string text = line.time + '\t' + line.kind + '\t' + std::to_string(line.frag) + '\t' +
                       std::to_string(line.voice) + '\t' + std::to_string(line.voxIndex) + '\t' +
                       OffsetText(line.oldOffset, line.oldDropped) + '\t' +
                       OffsetText(line.newOffset, line.newDropped) + '\t' +
                       (line.source.hash.empty() ? "-" : line.source.hash) + '\t' +
                       EscapeName(line.source.name) + '\n';
    return text;
}

bool ParseHistoryLine(std::string_view text, HistoryLine& out, std::string* why) {
    const std::vector<std::string_view> f = SplitFields(text);
    if (f.size() != kFieldCount) {
        return Refuse(
            why, std::to_string(f.size()) + " fields instead of " + std::to_string(kFieldCount));
    }
    HistoryLine line;
    if (!IsTime(f[0])) return Refuse(why, "not a time: \"" + std::string(f[0]) + "\"");
    line.time = f[0];
    if (f[1] != "replace" && f[1] != "import" && f[1] != "revert") {
        return Refuse(why, "unknown kind \"" + std::string(f[1]) + "\"");
    }
    line.kind = f[1];
    uint64_t frag = 0;
    uint64_t voice = 0;
    uint64_t slot = 0;
    if (!ParseNumber(f[2], 0x7FFFFFFF, frag) || !ParseNumber(f[3], 13, voice) ||
        !ParseNumber(f[4], 0xFFFFFFFFu, slot)) {
        return Refuse(why, "fragment, voice or slot is not a number in range");
    }
    line.frag = static_cast<int>(frag);
    line.voice = static_cast<int>(voice);
    line.voxIndex = static_cast<uint32_t>(slot);
    if (!ParseOffset(f[5], line.oldOffset, line.oldDropped) ||
        !ParseOffset(f[6], line.newOffset, line.newDropped)) {
        return Refuse(why, "an entry offset is not a number above 0 (with \"x\" when dropped)");
    }
    if (!IsHash(f[7])) return Refuse(why, "not a hash: \"" + std::string(f[7]) + "\"");
    if (f[7] != "-") line.source.hash = f[7];
    if (!UnescapeName(f[8], line.source.name)) return Refuse(why, "a broken %XX in the name");
    out = std::move(line);
    return true;
}

History ParseHistory(ByteSpan bytes) {
    History history;
    const std::string_view all(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    size_t start = 0;
    for (uint64_t number = 1; start < all.size(); ++number) {
        const size_t end = all.find('\n', start);
        if (end == std::string_view::npos) {
            history.bad.push_back({number, "cut short (no end of line)"});
            break;
        }
        HistoryLine line;
        std::string why;
        if (ParseHistoryLine(all.substr(start, end - start), line, &why)) {
            line.lineNumber = number;
            history.lines.push_back(std::move(line));
        } else {
            history.bad.push_back({number, why});
        }
        start = end + 1;
    }
    return history;
}

bool ReadHistory(const std::string& talkPath, History& out, std::string* why) {
    out = History();
    const std::string path = HistoryPath(talkPath);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    std::vector<uint8_t> bytes;
    std::string reason;
    if (!ReadWholeFile(path, bytes, reason)) return Refuse(why, path + ": " + reason);
    out = ParseHistory(ByteSpan(bytes.data(), bytes.size()));
    return true;
}

bool AppendHistory(const std::string& talkPath, const std::vector<HistoryLine>& lines,
                   std::string* why) {
    if (lines.empty()) return true;
    const std::string path = HistoryPath(talkPath);
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return FailErrno(why, path);
    bool ended = true;
    std::string text;
    bool ok = EndsWithNewline(fd, ended);
    if (ok) {
        if (!ended) text += '\n';
        for (const HistoryLine& line : lines) text += HistoryLineText(line);
        // One write: a kill cuts it at most once, at its end, and readers skip that line.
        ok = WriteWhole(fd, text) && ::fsync(fd) == 0;
    }
    if (!ok) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return FailErrno(why, path);
    }
    if (::close(fd) != 0) return FailErrno(why, path);
    if (!existed) SyncFolderOf(path);
    return true;
}

bool WriteHistory(const std::string& talkPath, const std::vector<HistoryLine>& lines,
                  std::string* why) {
    std::string text;
    for (const HistoryLine& line : lines) text += HistoryLineText(line);
    const std::string path = HistoryPath(talkPath);
    std::string reason;
    if (WriteFileSafely(path, ByteSpan(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                        &reason)) {
        return true;
    }
    return Refuse(why, reason);
}

bool MoveHistoryOffsets(const std::string& talkPath, const std::function<uint32_t(uint32_t)>& moved,
                        std::string* why) {
    History history;
    if (!ReadHistory(talkPath, history, why)) return false;
    if (history.lines.empty() && history.bad.empty()) return true;
    bool changed = !history.bad.empty();
    for (HistoryLine& line : history.lines) {
        const std::pair<uint32_t*, bool> offsets[] = {{&line.oldOffset, line.oldDropped},
                                                      {&line.newOffset, line.newDropped}};
        for (const auto& [offset, dropped] : offsets) {
            if (dropped) continue;
            const uint32_t to = moved(*offset);
            changed = changed || to != *offset;
            *offset = to;
        }
    }
    return !changed || WriteHistory(talkPath, history.lines, why);
}

std::vector<Take> TakesOf(const History& history, int frag, int voice, ByteSpan talk,
                          uint32_t currentOffset) {
    std::vector<Take> takes;
    auto add = [&](uint32_t offset, bool dropped, const std::string& time,
                   const TakeSource& source) {
        for (const Take& take : takes) {
            if (take.offset == offset && take.dropped == dropped) return;
        }
        Take take;
        take.offset = offset;
        take.dropped = dropped;
        take.time = time;
        take.source = source;
        take.present = !dropped && VoxFile::IsEntryAt(talk, offset);
        take.current = !dropped && offset == currentOffset;
        takes.push_back(std::move(take));
    };
    for (const HistoryLine& line : history.lines) {
        if (line.frag != frag || line.voice != voice) continue;
        // The entry a line left is a take too: the first line's is the one from before the
        // history, and a slot moved without a line (an undo, a table edit) left another.
        add(line.oldOffset, line.oldDropped, "", {});
        add(line.newOffset, line.newDropped, line.time, line.source);
    }
    return takes;
}

}  // namespace vox
