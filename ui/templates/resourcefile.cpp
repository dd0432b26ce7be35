#include "ui/templates/resourcefile.h"

#include <QFile>

namespace vox {

bool ParseResourceFile(const std::string& path,
                       const std::function<bool(std::span<const uint8_t>, std::string&)>& parse,
                       std::string& error) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString().toStdString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    const std::span<const uint8_t> span(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                        static_cast<size_t>(bytes.size()));
    if (!parse(span, error)) {
        error = path + ": " + error;
        return false;
    }
    return true;
}

}  // namespace vox
