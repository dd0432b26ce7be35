// voxtool levels TALK [--json]: the levels of every recording, each judged against its
// fragment's other voices, then the outliers. Reads only; exit 0 when nothing is flagged, 1
// otherwise.
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "tools/command.h"
#include "tools/terminalprogress.h"
#include "tools/toolcontext.h"
#include "workbench/voicelevels.h"

namespace vox::tool {
namespace {

using Json = nlohmann::ordered_json;

struct LevelsOptions {
    std::string talkPath;
    bool json = false;
};

// The kinds of flag, in the order the summary lists them.
enum class Flag { kUndecodable, kClipping, kSilent, kLoudness };
constexpr Flag kFlags[] = {Flag::kUndecodable, Flag::kClipping, Flag::kSilent, Flag::kLoudness};

const char* FlagName(Flag flag) {
    switch (flag) {
        case Flag::kUndecodable:
            return "undecodable";
        case Flag::kClipping:
            return "clipping";
        case Flag::kSilent:
            return "silent";
        case Flag::kLoudness:
            return "loudness";
    }
    return "";
}

bool Has(const VoiceLevels& voice, Flag flag) {
    switch (flag) {
        case Flag::kUndecodable:
            return !voice.measured;
        case Flag::kClipping:
            return voice.measured && voice.flags.clipping;
        case Flag::kSilent:
            return voice.measured && voice.flags.silent;
        case Flag::kLoudness:
            return voice.measured && voice.flags.loudnessOutlier;
    }
    return false;
}

// printf onto std::cout, which carries all of the tool's standard output.
[[gnu::format(printf, 1, 2)]] void Print(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0) {
        std::string text(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(text.data(), text.size(), format, again);
        std::cout.write(text.data(), length);
    }
    va_end(again);
}

std::string Printf(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// "-21.4", or "silent" where there is no level to give.
std::string Level(double value) { return std::isfinite(value) ? Printf("%.1f", value) : "silent"; }

std::string FlagText(const VoiceLevels& voice) {
    std::string text;
    const auto add = [&text](const std::string& word) {
        text += (text.empty() ? "" : ", ") + word;
    };
    if (Has(voice, Flag::kUndecodable)) add("does not decode");
    if (Has(voice, Flag::kClipping)) add("clipping");
    if (Has(voice, Flag::kSilent)) add("silent");
    if (Has(voice, Flag::kLoudness)) {
        add(Printf(voice.flags.deviationLu > 0 ? "louder by %.1f LU" : "quieter by %.1f LU",
                   std::abs(voice.flags.deviationLu)));
    }
    return text;
}

std::string PlaceText(const VoiceLevels& voice) {
    return "fragment " + std::to_string(voice.fragment) + " voice " + std::to_string(voice.voice);
}

void PrintText(const LevelsReport& report) {
    Print("%5s %5s %6s %7s %7s %5s %5s %5s  %s\n", "frag", "voice", "entry", "LUFS", "dBFS",
          "clips", "lead", "trail", "flags");
    for (const VoiceLevels& voice : report.voices) {
        const TakeLevels& l = voice.levels;
        if (!voice.measured) {
            Print("%5d %5d %6d %7s %7s %5s %5s %5s  %s\n", voice.fragment, voice.voice,
                  voice.voxIndex, "-", "-", "-", "-", "-", FlagText(voice).c_str());
            continue;
        }
        Print("%5d %5d %6d %7s %7s %5d %5.2f %5.2f  %s\n", voice.fragment, voice.voice,
              voice.voxIndex, Level(l.loudness).c_str(), Level(l.peakDbfs).c_str(), l.clippedRuns,
              l.leadingSilence, l.trailingSilence, FlagText(voice).c_str());
    }
    const size_t count = report.voices.size();
    if (report.flagged == 0) {
        Print("none of %zu recordings flagged\n", count);
        return;
    }
    Print("%d of %zu recordings flagged\n", report.flagged, count);
    for (Flag flag : kFlags) {
        for (const VoiceLevels& voice : report.voices) {
            if (!Has(voice, flag)) continue;
            Print("%s: %s", FlagName(flag), PlaceText(voice).c_str());
            if (flag == Flag::kLoudness) Print(" (%+.1f LU)", voice.flags.deviationLu);
            Print("\n");
        }
    }
}

// Rounded for reading; a level that does not exist (silence) is null.
Json Number(double value, int decimals) {
    if (!std::isfinite(value)) return nullptr;
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

Json VoiceJson(const VoiceLevels& voice) {
    Json out = {{"fragment", voice.fragment}, {"voice", voice.voice}, {"entry", voice.voxIndex}};
    out["decodes"] = voice.measured;
    if (voice.measured) {
        const TakeLevels& l = voice.levels;
        out["seconds"] = Number(l.seconds, 3);
        out["loudness"] = Number(l.loudness, 2);
        out["peak"] = Number(l.peakDbfs, 2);
        out["clippedRuns"] = l.clippedRuns;
        out["leadingSilence"] = Number(l.leadingSilence, 3);
        out["trailingSilence"] = Number(l.trailingSilence, 3);
        out["dcOffset"] = Number(l.dcOffset, 5);
        out["deviation"] = Number(voice.flags.deviationLu, 2);
    }
    Json flags = Json::array();
    for (Flag flag : kFlags)
        if (Has(voice, flag)) flags.push_back(FlagName(flag));
    out["flags"] = std::move(flags);
    return out;
}

// The whole report as one JSON object: every recording, then the summary.
Json LevelsJson(const LevelsReport& report) {
    Json recordings = Json::array();
    for (const VoiceLevels& voice : report.voices) recordings.push_back(VoiceJson(voice));
    Json summary = {{"recordings", report.voices.size()}, {"flagged", report.flagged}};
    for (Flag flag : kFlags) {
        Json places = Json::array();
        for (const VoiceLevels& voice : report.voices)
            if (Has(voice, flag))
                places.push_back({{"fragment", voice.fragment}, {"voice", voice.voice}});
        summary[FlagName(flag)] = std::move(places);
    }
    return {{"recordings", std::move(recordings)}, {"summary", std::move(summary)}};
}

void RunLevels(const LevelsOptions& options) {
    OpenDatabase database(OpenDatabase::Mode::Read);
    if (!database.Open(options.talkPath)) return;
    CVoxbenchDoc& doc = database.Doc();
    const DamageCheck damageCheck(doc);
    TerminalProgress progress("levels");
    const LevelsReport report = MeasureDatabaseLevels(doc, progress.Fn());
    progress.Finish();
    if (report.cancelled) return;  // Finish has said so and set the status
    if (options.json)
        std::cout << LevelsJson(report).dump(1) << '\n';
    else
        PrintText(report);
    if (report.flagged > 0) ExitStatus() = kExitFailure;
}

}  // namespace

void RegisterLevels(Command& tool) {
    auto options = std::make_shared<LevelsOptions>();
    Command command = tool.AddCommand(
        "levels",
        "Measure every recording (loudness, peak, clipping, silence) against its fragment's "
        "other voices and list the outliers");
    command.AddOption("TALK", options->talkPath, "the talk file (*.vox)").Required();
    command.AddFlag("--json", options->json, "the measurements as one JSON object");
    command.OnRun([options] { RunLevels(*options); });
}

}  // namespace vox::tool
