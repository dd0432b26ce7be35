#include "lookup/csvfield.h"

namespace vox {

namespace {

constexpr std::string_view kWhiteSpace = " \t\r\n\v\f";

bool TakeQuotedField(std::string_view& rest, std::string& field) {
    const size_t close = rest.find('"', 1);
    if (close == std::string_view::npos) {
        field.assign(rest);
        rest = {};
        return true;
    }
    field.assign(rest.substr(1, close - 1));
    rest.remove_prefix(close + 1);
    if (!rest.empty() && rest.front() == ',') rest.remove_prefix(1);
    return true;
}

bool TakePlainField(std::string_view& rest, std::string& field) {
    const size_t comma = rest.find(',');
    if (comma == std::string_view::npos) {
        field.assign(rest);
        rest = {};
        return true;
    }
    field.assign(rest.substr(0, comma));
    rest.remove_prefix(comma + 1);
    return true;
}

}  // namespace

bool NextCsvField(std::string_view& rest, std::string& field) {
    const size_t start = rest.find_first_not_of(kWhiteSpace);
    if (start == std::string_view::npos) {
        rest = {};
        return false;
    }
    rest.remove_prefix(start);
    if (rest.front() == '"') return TakeQuotedField(rest, field);
    return TakePlainField(rest, field);
}

}  // namespace vox
