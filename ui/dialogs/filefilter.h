#pragma once

#include <QStringList>
#include <string_view>

namespace vox {

// Converts a filter in the desktop tradition, "Name (*.x)|*.x|All files (*.*)|*.*||", into
// the name filters of a Qt file dialog: one entry per pair, the pair's patterns (separated by
// ';') in the parentheses Qt reads them from. "*.*" means any file there, so it becomes "*".
// An empty or malformed filter gives "All files (*)".
QStringList ConvertFileFilter(std::string_view filter);

}  // namespace vox
