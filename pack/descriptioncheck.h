#pragma once

#include "pack/packdescription.h"

namespace vox::pack {

// Whether a description that ReadDescription accepted holds together: a usable talk file name,
// slot 0 holding an entry (it marks where the talk file's directory ends), no slot given to two
// entries, every slot inside the slot count, and every fragment, eval and talk entry that a
// fragment, eval or comm names existing. The first problem is reported with its line.
bool CheckDescription(const PackDescription& description, DescriptionError& error);

// A file name that stays inside the folder it is written to: not empty, no '/', not "." or
// "..", and none of the database's own table file names.
bool IsPlainFileName(const std::string& name);

// A path relative to the unpacked folder that cannot leave it: no leading '/', no ".."
// component, no empty component.
bool IsInsideFolder(const std::string& relativePath);

}  // namespace vox::pack
