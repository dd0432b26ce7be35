#include "ui/dialogs/filefilter.h"

#include <QString>

namespace vox {
namespace {

// "Wave Files (*.wav)" -> "Wave Files": Qt takes the patterns from the last parentheses, so
// the description's own ones must go.
QString Description(const QString& text) {
    QString description = text.trimmed();
    if (description.endsWith(')')) {
        const qsizetype open = description.lastIndexOf('(');
        if (open >= 0) description = description.left(open).trimmed();
    }
    return description;
}

QString Patterns(const QString& text) {
    QStringList patterns;
    for (const QString& pattern : text.split(';', Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        if (trimmed.isEmpty()) continue;
        patterns << (trimmed == "*.*" ? QStringLiteral("*") : trimmed);
    }
    return patterns.join(' ');
}

}  // namespace

QStringList ConvertFileFilter(std::string_view filter) {
    const QStringList parts =
        QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = Patterns(parts[i + 1]);
        if (parts[i].trimmed().isEmpty() || patterns.isEmpty()) break;  // the closing "||"
        QString description = Description(parts[i]);
        if (description.isEmpty()) description = patterns;
        filters << description + " (" + patterns + ")";
    }
    if (filters.isEmpty()) filters << QStringLiteral("All files (*)");
    return filters;
}

}  // namespace vox
