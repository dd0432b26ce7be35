#pragma once

#include <string>
#include <string_view>

namespace vox {

// Takes the next field off the unread rest of one side-file line and shortens `rest` past it.
// Returns false, leaving `field` unchanged, when only white space is left.
//
// The rules are those the existing side files were written for, not RFC 4180: leading white
// space is dropped, trailing blanks of an unquoted field stay, a quoted field runs to the next
// double quote (no escape for a quote inside it; without a closing quote the field is the whole
// rest, opening quote included), and a comma directly after the closing quote is consumed. So a
// trailing comma gives no further field, while a blank between a closing quote and the next
// comma gives an extra empty one.
bool NextCsvField(std::string_view& rest, std::string& field);

}  // namespace vox
