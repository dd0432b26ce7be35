#pragma once

#include <cstdint>

#include "talkdata/listtable.h"

namespace vox {

// One voice of a fragment: which talk entry holds it.
struct FragElement {
    int16_t voice = 0;
    int16_t voxIndex = 0;
};

// fragFile.bin: record f is fragment f, its list the fragment's voices sorted ascending.
class FragTable : public ListTable {
  public:
    static constexpr int kVoiceCount = 14;

    // The voxIndex of that voice of the fragment, or -1 (also for a voice outside 0..13).
    // Inline: every recording played or exported is found through it.
    int FindVoxIndex(const ListRecord& frag, int voice) const {
        if (voice < 0 || voice >= kVoiceCount) return -1;
        for (const uint32_t word : ListWords(frag)) {
            if (static_cast<int16_t>(word & 0xFFFF) == voice)
                return static_cast<int16_t>(word >> 16);
        }
        return -1;
    }
    bool GetFragElement(const ListRecord& frag, int position, FragElement& out) const;
    // Adds a voice to an existing fragment; false for an unknown fragment or a voice it has.
    bool InsertElement(int frag, int voice, int voxIndex);
    // Points the voice entry at `position` of the fragment at another talk entry (the low 16
    // bits of voxIndex); its voice and the list's order stay.
    bool SetVoxIndex(int frag, int position, int voxIndex);
    // As InsertElement, except that frag equal to the count appends a new fragment.
    bool AddElement(int frag, int voice, int voxIndex);
};

}  // namespace vox
