// The form: how long RefreshComm takes for a comm of 15 slots, and how long PlaySound takes
// to return (the sound is played by the worker thread meanwhile), under the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstring>

#include "bench/benchcontext.h"
#include "ui/cvoxbenchview.h"
#include "ui/templates/dialogtemplate.h"

namespace vox::bench {
namespace {

DialogTemplateSet ProgramTemplates() {
    DialogTemplateSet all;
    for (const char* file : {":/templates/mainform.dlg", ":/templates/about.dlg"}) {
        DialogTemplateSet set;
        std::string error;
        if (!LoadDialogTemplates(file, set, error)) qFatal("%s", error.c_str());
        for (DialogTemplate& dialog : set.dialogs) all.dialogs.push_back(std::move(dialog));
    }
    return all;
}

void BM_RefreshComm(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    CommRecord record;
    if (!doc.GetCommRecord(0, record) || record.elements != 15) {
        state.SkipWithError("comm 0 of the database does not have 15 entries");
        return;
    }
    const DialogTemplateSet templates = ProgramTemplates();
    CVoxbenchView view(doc, templates);
    view.SetEditorOpeners(EditorOpeners{});
    view.OnUpdate();
    view.show();
    QApplication::processEvents();
    for (auto _ : state) view.RefreshComm(0);
}

void BM_PlaySoundReturns(benchmark::State& state) {
    CVoxbenchDoc& doc = SharedDoc();
    constexpr uint32_t kBytes = 3200;                            // 0.1 s
    doc.PlaySound(std::make_unique<uint8_t[]>(kBytes), kBytes);  // starts the worker thread
    for (auto _ : state) {
        state.PauseTiming();
        auto pcm = std::make_unique<uint8_t[]>(kBytes);
        std::memset(pcm.get(), 0, kBytes);
        state.ResumeTiming();
        doc.PlaySound(std::move(pcm), kBytes);
    }
}

BENCHMARK(BM_RefreshComm)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_PlaySoundReturns)->Unit(benchmark::kMicrosecond)->UseRealTime()->Iterations(2000);

}  // namespace
}  // namespace vox::bench

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
