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

}  // namespace vox::test
