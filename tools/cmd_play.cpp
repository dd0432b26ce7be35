// voxtool play TALK F V and voxtool play-comm TALK C V: hear a fragment or a whole comm.
#include <algorithm>
#include <memory>

#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/soundwait.h"
#include "tools/toolcontext.h"
#include "workbench/fragmentexport.h"

namespace vox::tool {
namespace {

struct PlayOptions {
    std::string talkPath;
    int number = 0;
    int voice = 0;
};

// The fragments a comm speaks, as the form shows them after a refresh: a fragment entry as it
// stands, an eval through its first alternative. Ends at the first slot that names an eval the
// table does not hold (-1 then makes the sequence stop there).
std::vector<int> CommFragments(const CVoxbenchDoc& doc, int comm) {
    std::vector<int> fragments;
    CommRecord record;
    if (!doc.GetCommRecord(comm, record)) return fragments;
    const int slots = std::min<int>(record.elements, 15);
    for (int slot = 0; slot < slots; ++slot) {
        const int entry = doc.GetCommEntry(record, slot);
        if (entry >= 0) {
            fragments.push_back(entry);
            continue;
        }
        ListRecord eval;
        fragments.push_back(doc.GetEvalRecord(-entry, eval) ? doc.GetEvalFrag(eval, 0) : -1);
    }
    return fragments;
}

void RunPlay(const PlayOptions& options, bool comm) {
    const int number = options.number;
    const int voice = options.voice;
    OpenDatabase database(OpenDatabase::Mode::Play);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    int queued = 0;
    if (comm) {
        CommRecord record;
        if (!doc.GetCommRecord(number, record)) {
            PrintError("comm " + std::to_string(number) + " does not exist");
            ExitStatus() = kExitFailure;
            return;
        }
        queued = PlayFragmentSequence(doc, CommFragments(doc, number), voice);
    } else {
        queued = PlayFragment(doc, number, voice) ? 1 : 0;
    }
    if (queued == 0) {
        PrintError(comm ? "comm " + std::to_string(number) + " has nothing to play in voice " +
                              std::to_string(voice)
                        : "fragment " + std::to_string(number) +
                              " has no playable recording in voice " + std::to_string(voice));
        ExitStatus() = kExitFailure;
        return;
    }
    ExitStatus() = WaitForSounds(doc, queued);
}

void AddPlayCommand(Command& tool, bool comm) {
    auto options = std::make_shared<PlayOptions>();
    Command command =
        comm ? tool.AddCommand("play-comm",
                               "Play a comm as a sequence in one voice (evals through their "
                               "first alternative)")
             : tool.AddCommand("play", "Play one fragment in one voice");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, comm ? "C" : "F", options->number,
              comm ? "the comm number" : "the fragment number", 0,
              comm ? kMaxCommNumber : kMaxFragmentNumber)
        .Required();
    AddVoice(command, options->voice);
    command.OnRun([options, comm] { RunPlay(*options, comm); });
}

}  // namespace

void RegisterPlay(Command& tool) {
    AddPlayCommand(tool, false);
    AddPlayCommand(tool, true);
}

}  // namespace vox::tool
