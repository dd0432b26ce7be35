#pragma once

#include <cstdint>
#include <vector>

#include "talkdata/safefile.h"

namespace vox::pack {

// A ByteSink that collects the bytes in memory, to compare what a writer would produce.
class MemorySink : public ByteSink {
  public:
    bool Write(const void* data, size_t size) override {
        const auto* bytes = static_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return true;
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace vox::pack
