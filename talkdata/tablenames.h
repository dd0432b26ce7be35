#pragma once

namespace vox {

// The three tables always lie beside the talk file, under these names.
inline constexpr const char* kFragFileName = "fragFile.bin";
inline constexpr const char* kEvalFileName = "evalFile.bin";
inline constexpr const char* kCommFileName = "commFile.bin";

}  // namespace vox
