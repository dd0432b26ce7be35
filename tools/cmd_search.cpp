// voxtool search TALK TEXT: the phrases and comm names that contain a text.
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "lookup/phrasesearch.h"
#include "tools/command.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct SearchOptions {
    std::string talkPath;
    std::string text;
    std::string phrasesPath;
    std::string namesPath;
    bool json = false;
};

nlohmann::json MatchJson(const PhraseMatch& match) {
    if (match.kind == PhraseMatch::Kind::Comm)
        return {{"kind", "comm"}, {"comm", match.number}, {"name", match.text}};
    return {{"kind", "phrase"},
            {"fragment", match.number},
            {"voice", match.voice},
            {"text", match.text}};
}

// A side file named on the command line must load: searching without it would find nothing
// and look like an answer.
bool LoadSideFile(CVoxbenchDoc& doc, const std::string& path, bool phrases) {
    if (path.empty()) return true;
    const bool loaded = phrases ? doc.LoadPhraseFile(path) : doc.LoadCommNameFile(path);
    if (!loaded) {
        PrintError(path + ": cannot be read");
        ExitStatus() = kExitFailure;
    }
    return loaded;
}

void RunSearch(const SearchOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!LoadSideFile(doc, options.phrasesPath, true) ||
        !LoadSideFile(doc, options.namesPath, false)) {
        return;
    }
    const std::vector<PhraseMatch> matches =
        SearchPhrases(doc.GetPhrases(), doc.GetCommNames(), options.text);
    if (options.json) {
        nlohmann::json list = nlohmann::json::array();
        for (const PhraseMatch& match : matches) list.push_back(MatchJson(match));
        std::cout << list.dump(2) << '\n';
    } else {
        for (const PhraseMatch& match : matches) {
            if (match.kind == PhraseMatch::Kind::Comm)
                std::cout << "comm " << match.number << ": " << match.text << '\n';
            else
                std::cout << "fragment " << match.number << " voice " << match.voice << ": "
                          << match.text << '\n';
        }
    }
    if (matches.empty()) {
        // stdout holds matches and nothing else, as find's does.
        PrintError("No matches");
        ExitStatus() = kExitFailure;
    }
}

}  // namespace

void RegisterSearch(Command& tool) {
    auto options = std::make_shared<SearchOptions>();
    Command command = tool.AddCommand(
        "search", "List the phrases and comm names that contain a text, ignoring case");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddOption("TEXT", options->text, "the words to look for").Required();
    command.AddOption("--phrases", options->phrasesPath,
                      "the phrase file (default: the one in the settings)");
    command.AddOption("--names", options->namesPath,
                      "the comm-name file (default: the one in the settings)");
    command.AddFlag("--json", options->json, "write the matches as a JSON array");
    command.OnRun([options] { RunSearch(*options); });
}

}  // namespace vox::tool
