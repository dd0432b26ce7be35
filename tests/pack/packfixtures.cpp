#include "tests/pack/packfixtures.h"

#include "pack/packer.h"
#include "pack/unpacker.h"
#include "talkdata/evaltable.h"
#include "talkdata/fragtable.h"

namespace vox::test {

bool PackTest::Unpack(const std::string& to, std::string& error, const std::string& phrases,
                      const std::string& commNames, const ProgressFn& progress) {
    const std::string talk = original_.File("speech.vox");
    FragTable frags;
    EvalTable evals;
    History history;
    if (!frags.Load(original_.File("fragFile.bin")) || !evals.Load(original_.File("evalFile.bin")))
        error = "tables do not load";
    if (!error.empty() || !ReadHistory(talk, history, &error)) return false;
    pack::Unpacker unpacker([this](const std::string& note) { notes_ += note + "\n"; });
    const bool ok = unpacker.Unpack({.talkName = "speech.vox",
                                     .talk = ReadFileBytes(talk),
                                     .frags = &frags,
                                     .evals = &evals,
                                     .comm = ReadFileBytes(original_.File("commFile.bin")),
                                     .phrasesPath = phrases,
                                     .commNamesPath = commNames,
                                     .history = &history},
                                    to, progress);
    error = unpacker.GetError();
    return ok;
}

bool PackTest::Pack(const std::string& from, const std::string& to, std::string& error,
                    const ProgressFn& progress) {
    pack::Packer packer([this](const std::string& note) { notes_ += note + "\n"; });
    const bool ok = packer.Pack(from, to, progress);
    error = packer.GetError();
    return ok;
}

}  // namespace vox::test
