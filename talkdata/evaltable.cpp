#include "talkdata/evaltable.h"

namespace vox {
namespace {

EvalElement Unpack(uint32_t word) {
    EvalElement element;
    element.index = static_cast<int16_t>(word & 0xFFFF);
    element.frag = static_cast<int16_t>(word >> 16);
    return element;
}

uint32_t Pack(EvalElement element) {
    return static_cast<uint32_t>(static_cast<uint16_t>(element.index)) |
           (static_cast<uint32_t>(static_cast<uint16_t>(element.frag)) << 16);
}

}  // namespace

bool EvalTable::GetEvalElement(const ListRecord& eval, int position, EvalElement& out) const {
    if (position < 0 || position >= eval.count) return false;
    const int64_t index = ElementIndex(eval, position);
    if (index < 0) return false;
    out = Unpack(GetElementWord(static_cast<int>(index)));
    return true;
}

int16_t EvalTable::GetEvalFrag(const ListRecord& eval, int position) const {
    EvalElement element;
    return GetEvalElement(eval, position, element) ? element.frag : int16_t{-1};
}

bool EvalTable::InsertElement(int eval, EvalElement element) {
    return InsertSorted(eval, Pack(element));
}

bool EvalTable::SetElement(int eval, int position, EvalElement element) {
    ListRecord rec;
    if (!GetRecord(eval, rec) || position < 0 || position >= rec.count) return false;
    return SetWord(ElementIndex(rec, position), Pack(element));
}

int EvalTable::ChangeElement(int eval, int position, EvalElement element) {
    return ReplaceSorted(eval, position, Pack(element));
}

}  // namespace vox
