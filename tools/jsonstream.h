#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace vox::tool {

// Writes one JSON value piece by piece, in the layout of nlohmann-json's dump(2), so that an
// array of millions of elements is never held whole and output starts while the input is still
// being read. Objects and arrays are opened and closed by hand; anything small goes in whole.
class JsonStream {
  public:
    explicit JsonStream(std::ostream& out) : out_(out) {}

    void BeginObject() { Open('{'); }
    void EndObject() { Close('}'); }
    void BeginArray() { Open('['); }
    void EndArray() { Close(']'); }
    // Inside an object: the name of the next member, whose value follows.
    void Key(const std::string& key);
    // A whole value: a member's after Key, or an array's next element.
    void Value(const nlohmann::ordered_json& value);

  private:
    void Open(char bracket);
    void Close(char bracket);
    // Before a value: the comma and line break of an array element, or nothing after a key.
    void StartItem();
    std::string Indent() const { return std::string(2 * filled_.size(), ' '); }

    std::ostream& out_;
    std::vector<bool> filled_;  // per open level: whether it has an item yet
    bool afterKey_ = false;
};

}  // namespace vox::tool
