#include "lookup/evalnamelist.h"

#include <algorithm>

#include "talkdata/profile.h"

namespace vox {

namespace {

const char kSection[] = "EvalNames";
const char kCountKey[] = "MaxEvals";

std::string NameKey(size_t eval) { return "EvalName" + std::to_string(eval); }

}  // namespace

void EvalNameList::Load(const Profile& profile) {
    names_.RemoveAll();
    const int stored = profile.GetInt(kSection, kCountKey, 0);
    if (stored <= 0) return;
    const size_t count = static_cast<size_t>(std::min(stored, kMaxEval + 1));
    if (!names_.SetSize(count)) return;
    for (size_t i = 0; i < count; ++i) names_[i] = profile.GetString(kSection, NameKey(i), "");
}

void EvalNameList::Save(Profile& profile) const {
    profile.WriteInt(kSection, kCountKey, static_cast<int>(names_.GetSize()));
    for (size_t i = 0; i < names_.GetSize(); ++i)
        profile.WriteString(kSection, NameKey(i), names_[i]);
}

bool EvalNameList::GetEvalName(int eval, std::string& out) const {
    if (eval >= 0 && static_cast<size_t>(eval) < names_.GetSize() &&
        !names_[static_cast<size_t>(eval)].empty()) {
        out = names_[static_cast<size_t>(eval)];
    } else {
        out = std::to_string(eval);
    }
    return true;
}

bool EvalNameList::SetEvalName(int eval, const std::string& name) {
    if (eval < 0 || eval > kMaxEval) return false;
    const size_t index = static_cast<size_t>(eval);
    if (index >= names_.GetSize() && !names_.SetSize(index + 1)) return false;
    names_[index] = name;
    return true;
}

}  // namespace vox
