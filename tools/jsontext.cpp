#include "tools/jsontext.h"

namespace vox::tool {
namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0 when there is none
// (a stray continuation byte, a truncated sequence, an overlong form, a surrogate, or a code
// point above U+10FFFF).
size_t Utf8SequenceLength(std::string_view text) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80;  // the second byte's bounds, which rule out the bad forms
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string Utf8Text(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (!bytes.empty()) {
        size_t length = Utf8SequenceLength(bytes);
        if (length > 0) {
            out.append(bytes.substr(0, length));
        } else {
            const auto latin1 = static_cast<unsigned char>(bytes[0]);
            out += static_cast<char>(0xC0 | (latin1 >> 6));
            out += static_cast<char>(0x80 | (latin1 & 0x3F));
            length = 1;
        }
        bytes.remove_prefix(length);
    }
    return out;
}

std::string HexBytes(const uint8_t* data, size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0F];
    }
    return out;
}

}  // namespace vox::tool
