// The search behind the phrase panel: 10,000 phrases and 2,000 comm names, searched as a person
// types. Each keystroke runs one search; it has to answer within a frame (16 ms).
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "lookup/phrasesearch.h"

namespace vox::bench {
namespace {

constexpr int kFragments = 5000;  // two voices each: 10,000 phrases
constexpr int kComms = 2000;
const char* const kWords[] = {"halt",   "bandit", "convoy", "north",   "gate",  "patrol",
                              "fuel",   "return", "base",   "hostile", "clear", "signal",
                              "bridge", "river",  "ammo",   "cover",   "move",  "hold"};

std::string Sentence(std::mt19937& random, int words) {
    std::uniform_int_distribution<size_t> pick(0, std::size(kWords) - 1);
    std::string text;
    for (int i = 0; i < words; ++i) text += (i ? " " : "") + std::string(kWords[pick(random)]);
    return text;
}

struct Lists {
    PhraseList phrases;
    CommNameList names;
    Lists() {
        std::mt19937 random(7);
        std::string phraseText = "Fragment,Notes,Voice 0,Voice 1\n";
        for (int f = 0; f < kFragments; ++f) {
            phraseText +=
                std::to_string(f) + ",x," + Sentence(random, 6) + "," + Sentence(random, 6) + "\n";
        }
        phrases.LoadText(phraseText);
        std::string nameText;
        for (int c = 0; c < kComms; ++c)
            nameText += std::to_string(c) + "," + Sentence(random, 3) + "\n";
        names.LoadText(nameText);
    }
};

const Lists& SharedLists() {
    static const Lists lists;
    return lists;
}

void BM_PhraseSearch(benchmark::State& state, const char* text) {
    const Lists& lists = SharedLists();
    size_t found = 0;
    for (auto _ : state) {
        found = SearchPhrases(lists.phrases, lists.names, text).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["matches"] = static_cast<double>(found);
}

// One letter matches nearly everything (the most results to copy); a whole word some; a miss
// reads every text to its end.
BENCHMARK_CAPTURE(BM_PhraseSearch, one_letter, "a")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, word, "Bandit")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, two_words, "north gate")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PhraseSearch, miss, "dragon")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vox::bench
