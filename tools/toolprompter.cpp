#include "tools/toolprompter.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "tools/toolcontext.h"

namespace vox::tool {

void ToolPrompter::ShowMessage(const std::string& text) {
    ++messageCount_;
    PrintError(text);
}

std::optional<std::string> ToolPrompter::AskFile(const FileDialogRequest& request) {
    if (files_.empty()) return std::nullopt;
    std::string path = std::move(files_.front());
    files_.pop_front();
    struct stat info {};
    if (request.mustExist && stat(path.c_str(), &info) != 0) {
        ShowMessage(path + ": " + std::strerror(errno));
        return std::nullopt;
    }
    return path;
}

std::optional<std::vector<long long>> ToolPrompter::AskNumbers(const NumberDialogRequest& request) {
    if (numbers_.empty()) return std::nullopt;
    const std::vector<std::optional<long long>> given = std::move(numbers_.front());
    numbers_.pop_front();
    std::vector<long long> values;
    for (size_t i = 0; i < request.fields.size(); ++i) {
        const bool answered = i < given.size() && given[i].has_value();
        values.push_back(answered ? *given[i] : request.fields[i].value);
    }
    return values;
}

std::optional<std::string> ToolPrompter::AskText(int, const std::string&, const std::string&) {
    return std::nullopt;
}

void ToolPrompter::ShowNumberList(int, const std::string&, const std::string&,
                                  const std::vector<int>&) {}

bool GuardLoaded(CVoxbenchDoc& doc) {
    if (doc.GetFragCount() != 0) return true;
    doc.GetPrompter().ShowMessage("No Voxfile loaded!");
    return false;
}

}  // namespace vox::tool
