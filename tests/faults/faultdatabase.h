#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vox::test {

// The bytes of every regular file in a folder, by name: what a test compares before and after a
// failure to prove that nothing changed, and nothing was left behind.
using FolderSnapshot = std::map<std::string, std::vector<uint8_t>>;
FolderSnapshot SnapshotFolder(const std::string& folder);

// The file's bytes in one read (empty when it cannot be read): the snapshots of large talk
// files must not cost seconds in a debug build.
std::vector<uint8_t> ReadWholeFile(const std::string& path);

// Names in after that are not in before.
std::vector<std::string> NewNames(const FolderSnapshot& before, const FolderSnapshot& after);

// 16-bit mono PCM at 8000 Hz that the codec codes like speech; seed varies the pitch.
std::vector<uint8_t> SpeechPcm(size_t bytes, int seed);

// A database whose talk entries really decode: entries recordings of 0.2 to 1 s (each coded
// once), fragments with one to three voices each, a few evals and comms. Written into folder
// as speech.vox and the three tables; returns the talk file's path. extraBytes of old,
// unreferenced recordings after the entries make the talk file as large as a test needs.
std::string WriteFaultDatabase(const std::string& folder, int entries, uint32_t extraBytes = 0);

// A wave file in the speech format holding pcm; returns its path.
std::string WriteSpeechWave(const std::string& path, const std::vector<uint8_t>& pcm);

}  // namespace vox::test
