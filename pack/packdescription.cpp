#include "pack/packdescription.h"

#include <algorithm>

namespace vox::pack {

int PackDescription::EffectiveSlotCount() const {
    return slotCount >= 0 ? slotCount : DefaultSlotCount();
}

int PackDescription::DefaultSlotCount() const {
    int highest = -1;
    for (const EntryDescription& entry : entries)
        for (int slot : entry.slots) highest = std::max(highest, slot);
    return highest + 1;
}

}  // namespace vox::pack
