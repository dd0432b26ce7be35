#include "pack/descriptionwriter.h"

#include <cstdio>
#include <sstream>

#include "pack/descriptiontokens.h"

namespace vox::pack {
namespace {

void WriteHead(std::ostream& out, const PackDescription& d) {
    out << "# A Voxbench database, unpacked. Edit this file and the wave files, then run\n"
        << "#   voxtool pack THIS-FOLDER NEW-FOLDER\n"
        << "# The format is described in docs/unpacked-format.md.\n"
        << "voxbench-unpacked " << d.version << "\n\n"
        << "talk " << QuoteWord(d.talkName) << "\nheader ";
    for (uint8_t byte : d.header) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", byte);
        out << hex;
    }
    out << '\n';
    // Left out when it says nothing: a voice added at the end of the directory then changes no
    // line but its own.
    if (d.slotCount >= 0 && d.slotCount != d.DefaultSlotCount())
        out << "slots " << d.slotCount << '\n';
    if (!d.phrasesFile.empty()) out << "phrases " << QuoteWord(d.phrasesFile) << '\n';
    if (!d.commNamesFile.empty()) out << "commnames " << QuoteWord(d.commNamesFile) << '\n';
}

// A description read from an older folder is written in its own format: its coded bytes are
// found by offset in the shared file, and format 2 has no word for that.
std::string CodedWord(const PackDescription& d, const EntryDescription& e) {
    if (d.version < 2)
        return "coded=" + std::to_string(e.codedOffset) + "+" + std::to_string(e.codedSize);
    return QuoteWord("coded=" + e.codedFile);
}

void WriteEntries(std::ostream& out, const PackDescription& d) {
    out << "\n# Talk entries, in the talk file's order: entry SLOT[,SLOT...] WAVE "
           "[decoded=BYTES coded=FILE pcm=HASH]\n"
        << "# Slots not named here stay empty. decoded/coded/pcm keep the coded bytes in FILE\n"
        << "# for as long as the wave's samples are unchanged; a new or changed "
        << "wave is coded on pack.\n";
    for (const EntryDescription& e : d.entries) {
        out << "entry ";
        for (size_t i = 0; i < e.slots.size(); ++i) out << (i == 0 ? "" : ",") << e.slots[i];
        out << ' ' << QuoteWord(e.wave);
        if (e.hasCoded)
            out << " decoded=" << e.decodedSize << ' ' << CodedWord(d, e)
                << " pcm=" << HashText(e.pcmHash);
        out << '\n';
    }
}

void WriteFrags(std::ostream& out, const PackDescription& d) {
    out << "\n# Fragments: frag NUMBER [number=RECORD-NUMBER] VOICE:SLOT ...\n";
    for (const FragDescription& f : d.frags) {
        out << "frag " << f.frag;
        if (f.number != f.frag) out << " number=" << f.number;
        for (const FragVoiceDescription& v : f.voices) out << ' ' << v.voice << ':' << v.voxIndex;
        out << '\n';
    }
}

void WriteEvals(std::ostream& out, const PackDescription& d) {
    out << "\n# Evals: eval NUMBER [number=RECORD-NUMBER] INDEX:FRAG ...\n";
    for (const EvalDescription& e : d.evals) {
        out << "eval " << e.eval;
        if (e.number != e.eval) out << " number=" << e.number;
        for (const EvalAlternativeDescription& a : e.alternatives)
            out << ' ' << a.index << ':' << a.frag;
        out << '\n';
    }
}

void WriteComms(std::ostream& out, const PackDescription& d) {
    out << "\n# Comms: comm NUMBER FIELD=VALUE ... : ENTRY ...  (an entry -N names eval N)\n";
    for (const CommDescription& c : d.comms) {
        out << "comm " << c.comm;
        if (c.reserved != 0) out << " reserved=" << c.reserved;
        out << " priority=" << c.priority << " position=" << c.position
            << " bullseye=" << c.bullseye << " warp=" << c.warp << " evals=" << c.evals << " :";
        for (int entry : c.entries) out << ' ' << entry;
        out << '\n';
    }
}

}  // namespace

std::string HashText(uint64_t hash) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

std::string WriteDescription(const PackDescription& description) {
    std::ostringstream out;
    WriteHead(out, description);
    WriteEntries(out, description);
    WriteFrags(out, description);
    WriteEvals(out, description);
    WriteComms(out, description);
    return out.str();
}

}  // namespace vox::pack
