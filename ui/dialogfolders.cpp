#include "ui/dialogfolders.h"

#include <filesystem>

#include "workbench/document.h"

namespace vox {
namespace {

constexpr const char* kSection = "Folders";

std::string AbsoluteFolderOf(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return {};
    return absolute.lexically_normal().parent_path().string();
}

void Remember(CVoxbenchDoc& doc, const char* purpose, const std::string& chosen) {
    const std::string folder = AbsoluteFolderOf(chosen);
    if (folder.empty()) return;
    Profile& profile = doc.GetProfile();
    profile.WriteString(kSection, purpose, folder);
    profile.Flush();
}

}  // namespace

std::string TalkFileFolder(const CVoxbenchDoc& doc) {
    const std::string& path = doc.GetPathName();
    return path.empty() ? std::string() : AbsoluteFolderOf(path);
}

std::optional<FileChoice> AskFileWithOptionInRememberedFolder(CVoxbenchDoc& doc,
                                                              FileDialogRequest request,
                                                              const char* purpose) {
    request.folder = doc.GetProfile().GetString(kSection, purpose, "");
    std::optional<FileChoice> choice = doc.GetPrompter().AskFileWithOption(request);
    if (choice && !choice->path.empty()) Remember(doc, purpose, choice->path);
    return choice;
}

std::optional<std::string> AskFileInRememberedFolder(CVoxbenchDoc& doc, FileDialogRequest request,
                                                     const char* purpose) {
    request.folder = doc.GetProfile().GetString(kSection, purpose, "");
    std::optional<std::string> path = doc.GetPrompter().AskFile(request);
    if (path && !path->empty()) Remember(doc, purpose, *path);
    return path;
}

}  // namespace vox
