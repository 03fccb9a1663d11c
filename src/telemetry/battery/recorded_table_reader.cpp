#include "telemetry/battery/recorded_table_reader.h"

#include "telemetry/battery/plist_table_reader.h"
#include "telemetry/battery/registry_text_reader.h"
#include "telemetry/battery/typed_json_table_reader.h"

#include <QFile>
#include <string_view>

namespace voltrane {

RecordedTable RecordedTableReader::fromBytes(const QByteArray& bytes) {
    if (bytes.trimmed().startsWith('<')) {
        return PlistTableReader::read(bytes);
    }
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (RegistryTextReader::recognizes(text)) {
        return RegistryTextReader::read(text);
    }
    return TypedJsonTableReader::read(bytes);
}

RecordedTable RecordedTableReader::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {
            std::nullopt, "cannot read " + path.toStdString() + ": " + file.errorString().toStdString(), {}};
    }
    RecordedTable result = fromBytes(file.readAll());
    if (!result.ok()) {
        result.error = path.toStdString() + ": " + result.error;
    }
    return result;
}

} // namespace voltrane
