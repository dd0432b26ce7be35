#include "tools/jsonstream.h"

namespace vox::tool {

void JsonStream::StartItem() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (filled_.empty()) return;
    out_ << (filled_.back() ? ",\n" : "\n") << Indent();
    filled_.back() = true;
}

void JsonStream::Key(const std::string& key) {
    StartItem();
    out_ << nlohmann::ordered_json(key).dump() << ": ";
    afterKey_ = true;
}

void JsonStream::Value(const nlohmann::ordered_json& value) {
    StartItem();
    // Nested lines take the depth they stand at; strings hold no raw line breaks to disturb.
    const std::string text = value.dump(2);
    const std::string indent = Indent();
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        out_.write(text.data() + start, static_cast<std::streamsize>(end + 1 - start));
        out_ << indent;
    }
    out_.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

void JsonStream::Open(char bracket) {
    StartItem();
    out_ << bracket;
    filled_.push_back(false);
}

void JsonStream::Close(char bracket) {
    const bool filled = filled_.back();
    filled_.pop_back();
    if (filled) out_ << '\n' << Indent();
    out_ << bracket;
    if (filled_.empty()) out_ << '\n';
}

}  // namespace vox::tool
