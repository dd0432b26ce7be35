#include "tests/support/scriptedprompter.h"

namespace vox::test {

namespace {
template <typename T>
std::optional<T> Next(std::deque<std::optional<T>>& queue, int& unexpected) {
    if (queue.empty()) {
        ++unexpected;
        return std::nullopt;
    }
    // Built in place rather than moved out of an optional: GCC 12 at -O2 warns that a moved
    // std::optional<std::vector> may be read uninitialised.
    std::optional<T> answer;
    if (queue.front().has_value()) answer.emplace(std::move(*queue.front()));
    queue.pop_front();
    return answer;
}
}  // namespace

std::optional<std::string> ScriptedPrompter::AskFile(const FileDialogRequest& request) {
    std::optional<FileChoice> choice = AskFileWithOption(request);
    if (!choice) return std::nullopt;
    return std::move(choice->path);
}

std::optional<FileChoice> ScriptedPrompter::AskFileWithOption(const FileDialogRequest& request) {
    fileRequests.push_back(request);
    return Next(files_, unexpectedQuestions);
}

std::optional<std::vector<long long>> ScriptedPrompter::AskNumbers(
    const NumberDialogRequest& request) {
    numberRequests.push_back(request);
    return Next(numbers_, unexpectedQuestions);
}

std::optional<std::string> ScriptedPrompter::AskText(int, const std::string& caption,
                                                     const std::string&) {
    textCaptions.push_back(caption);
    return Next(texts_, unexpectedQuestions);
}

void ScriptedPrompter::ShowNumberList(int, const std::string&, const std::string&,
                                      const std::vector<int>& numbers) {
    lists.push_back(numbers);
}

Answer ScriptedPrompter::AskYesNoCancel(const std::string& text) {
    questions.push_back(text);
    if (answers_.empty()) {
        ++unexpectedQuestions;
        return Answer::Cancel;
    }
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

bool ScriptedPrompter::AskYesNo(const std::string& text) {
    return AskYesNoCancel(text) == Answer::Yes;
}

bool ScriptedPrompter::ConfirmWithPreview(const std::string& text,
                                          const std::vector<PreviewSound>& sounds) {
    Preview shown{text, {}};
    for (const PreviewSound& sound : sounds) shown.labels.push_back(sound.label);
    previews.push_back(std::move(shown));
    if (previewAnswers_.empty()) {
        ++unexpectedQuestions;
        return false;
    }
    const PreviewAnswer answer = previewAnswers_.front();
    previewAnswers_.pop_front();
    // A press on a button the question does not have counts as unexpected.
    for (size_t pressed : answer.pressed) {
        if (pressed < sounds.size())
            sounds[pressed].play();
        else
            ++unexpectedQuestions;
    }
    return answer.ok;
}

}  // namespace vox::test
