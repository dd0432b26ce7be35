#pragma once

#include <string>

#include "talkdata/growablearray.h"

namespace vox {

class Profile;

// Names the user gave to evals. They belong to the user's installation, not to a database, so
// they live in the profile (section "EvalNames"): read once at start-up, written once at the end.
class EvalNameList {
  public:
    // A comm names eval -entry with a 16-bit entry, so no eval beyond 32768 can ever be shown by
    // name. The bound also keeps a hostile "MaxEvals" from stalling start-up.
    static constexpr int kMaxEval = 32768;

    // Replaces the names with the profile's: "MaxEvals" entries, each "EvalName%d". A count that
    // is missing, not a number or not positive gives no names; one beyond kMaxEval + 1 is clamped.
    void Load(const Profile& profile);
    // Writes "MaxEvals" and every entry, empty ones included. Values beyond the count are left.
    void Save(Profile& profile) const;

    // The name, or the eval number in decimal when it has none. Always true.
    bool GetEvalName(int eval, std::string& out) const;
    // Grows the list to eval + 1 when needed; an empty name removes the name. False, with nothing
    // changed, for a negative eval or one beyond kMaxEval.
    bool SetEvalName(int eval, const std::string& name);
    size_t GetSize() const { return names_.GetSize(); }

  private:
    GrowableArray<std::string> names_;
};

}  // namespace vox
