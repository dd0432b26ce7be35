#pragma once

#include <cstdint>

#include "talkdata/listtable.h"

namespace vox {

// One alternative of an eval: the index that selects it and the fragment it speaks.
struct EvalElement {
    int16_t index = 0;
    int16_t frag = 0;
};

// evalFile.bin: record e is eval e, its list the alternatives sorted by index.
class EvalTable : public ListTable {
  public:
    bool GetEvalElement(const ListRecord& eval, int position, EvalElement& out) const;
    // The alternative's frag, or -1 when the position is absent.
    int16_t GetEvalFrag(const ListRecord& eval, int position) const;
    bool InsertElement(int eval, EvalElement element);
    // Overwrites in place without re-sorting (the eval editor's change).
    bool SetElement(int eval, int position, EvalElement element);
    // Replaces the alternative at position and moves it to the place its index sorts to;
    // refuses (-1) an index that another alternative of the eval has. Returns the new position.
    int ChangeElement(int eval, int position, EvalElement element);
    // Whether one of the eval's alternatives speaks frag. Inline: the scans ask it for every
    // eval entry of every comm.
    bool ContainsFrag(int eval, int frag) const {
        ListRecord rec;
        if (!GetRecord(eval, rec)) return false;
        for (const uint32_t word : ListWords(rec)) {
            if (static_cast<int16_t>(word >> 16) == frag) return true;
        }
        return false;
    }
};

}  // namespace vox
