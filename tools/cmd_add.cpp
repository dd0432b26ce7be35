// voxtool add TALK F V IN|- [--trim] [--normalize]: a sound file as a new talk entry for voice V
// of fragment F (F equal to the fragment count adds a fragment), as the form's Add New and Add
// Voice do; then fragFile.bin beside the talk file is saved, since the tool has no later Save.
// stdout holds the new entry's number alone, for scripts; everything else goes to stderr.
#include <iostream>
#include <memory>

#include "talkdata/safefile.h"
#include "tools/command.h"
#include "tools/numberoptions.h"
#include "tools/takeinput.h"
#include "tools/toolcontext.h"

namespace vox::tool {
namespace {

struct AddOptions {
    std::string talkPath;
    int fragment = 0;
    int voice = 0;
    TakeOptions take;
};

void RunAdd(AddOptions& options) {
    if (!LoadTake(options.take)) return;
    OpenDatabase database(OpenDatabase::Mode::Write);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    if (!GuardLoaded(doc)) return;
    const std::string fragPath = CVoxbenchDoc::CompanionFolder(options.talkPath) + kFragFileName;
    std::string why;
    // The table is saved after the talk file grew: one that cannot be saved is refused first.
    if (!CanReplaceFile(fragPath, &why)) return Fail(Status::Failure(fragPath + ": " + why));
    RecordingRequest request;
    request.fragment = options.fragment;
    CodedRecording take;
    if (!ReadTake(doc, options.take, request, take)) return;
    const Status added = doc.AddFragment(options.fragment, options.voice, std::move(take.coded),
                                         take.codedLen, take.decodedLen);
    if (!added) {
        if (!added.error.empty()) PrintError(added.error);
        return Fail(Status::Failure("Failed to add fragment"));
    }
    // The talk file already holds the new entry; unreferenced, it does no harm if this fails.
    if (!WriteFileSafely(fragPath, doc.GetFragTable().SaveBytes(), &why)) {
        return Fail(Status::Failure("File save failed\n" + fragPath + ": " + why));
    }
    ReportTake(options.take, take);
    // The new entry has the directory's last slot.
    std::cout << VoxFile::SlotCount(doc.GetVoxFile().Bytes()) - 1 << '\n';
}

}  // namespace

void RegisterAdd(Command& tool) {
    auto options = std::make_shared<AddOptions>();
    Command command = tool.AddCommand(
        "add",
        "Add a sound file as a new voice of a fragment, or as a new fragment; prints the "
        "new talk entry's number");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    AddNumber(command, "F", options->fragment,
              "the fragment number; the fragment count adds a new fragment", 0, kMaxFragmentNumber)
        .Required();
    AddVoice(command, options->voice);
    AddTakeOptions(command, options->take);
    command.OnRun([options] { RunAdd(*options); });
}

}  // namespace vox::tool
