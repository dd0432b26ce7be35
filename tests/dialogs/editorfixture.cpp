#include "tests/dialogs/editorfixture.h"

#include <fstream>

#include "audio/player/nullsoundcontrol.h"
#include "audio/player/nullsounddevice.h"
#include "tests/support/databasebuilder.h"

namespace vox::test {

EditorFixture::EditorFixture() {
    DatabaseBuilder db;
    db.AddEntry(640, {1, 2, 3, 4});
    db.AddFragment({{1, 0}, {5, 0}});
    db.AddFragment({{0, 0}});
    db.AddFragment({});
    for (int frag = 3; frag <= 12; ++frag) db.AddFragment({{0, 0}});
    db.AddEval({{1, 5}, {9, 6}});
    db.AddEval({{0, 1}});
    db.AddEval({{3, 6}, {4, 6}});
    db.AddEval({});
    db.AddEval({{2, 12}});
    db.AddComm({.entries = {1, -1}});
    db.AddComm({.entries = {5, 2}});
    db.AddComm({.entries = {-5, 3}});
    db.AddComm({.entries = {0, 7}});
    db.AddComm({.entries = {}});
    db.AddComm({.entries = {-4, 9}});
    talk = db.WriteTo(dir.Path());

    phraseFile = dir.File("phrases.csv");
    std::ofstream phrases(phraseFile);
    phrases << "Frag,Name,Voice0,Voice1\n"
            << "5,a,five-0,five-1\n"
            << "6,b,six-0,six-1\n"
            << "8,c,eight-0,eight-1\n"
            << "100,d,hundred-0,hundred-1\n";
    phrases.close();

    doc = std::make_unique<CVoxbenchDoc>(
        profile, MakeNullSoundFactory(std::make_shared<NullSoundControl>()));
    doc->SetPrompter(&prompter);
    doc->AddView(&view);
    if (doc->OnOpenDocument(talk)) doc->LoadPhraseFile(phraseFile);
    view.updates = 0;
}

EditorFixture::~EditorFixture() {
    if (doc) doc->RemoveView(&view);
}

}  // namespace vox::test
