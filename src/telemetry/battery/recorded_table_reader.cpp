#include "telemetry/battery/recorded_table_reader.h"

#include "telemetry/battery/plist_table_reader.h"
#include "telemetry/battery/registry_text_reader.h"
#include "telemetry/battery/typed_json_table_reader.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace voltrane {

namespace {

// Far beyond any recorded table; a bigger file is something else and is not read into memory.
constexpr qsizetype kLargestTable = 16 * 1024 * 1024;

} // namespace

RecordedTable RecordedTableReader::fromBytes(const QByteArray& bytes) {
    if (bytes.trimmed().startsWith('<')) {
        return PlistTableReader::read(bytes);
    }
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    // Plain JSON is what gets replayed every second, and the direct reader gives up on the text
    // form at its first '=' or header: try it before scanning every line for the text form.
    if (auto plain = TypedJsonTableReader::readPlain(text)) {
        RecordedTable result;
        result.entry = std::move(*plain);
        return result;
    }
    if (RegistryTextReader::recognizes(text)) {
        return RegistryTextReader::read(text);
    }
    return TypedJsonTableReader::readThroughQt(bytes);
}

RecordedTable RecordedTableReader::fromFile(const QString& path) {
    const auto failure = [&path](const QString& why) {
        return RecordedTable{
            std::nullopt, "cannot read " + path.toStdString() + ": " + why.toStdString(), {}};
    };
    // Plain calls rather than QFile: this runs every second, and QFile stats the file three times.
    // Non-blocking, so that a FIFO in its place reads as empty instead of hanging the tick.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return failure(qt_error_string(errno));
    }
    // Read through a stack buffer: a 4 kB heap block every second would make malloc consolidate
    // the parser's freed nodes every second.
    QByteArray bytes;
    std::array<char, 4096> chunk{};
    QString why;
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            why = qt_error_string(errno);
            break;
        }
        if (got == 0) {
            break;
        }
        if (bytes.size() + got > kLargestTable) {
            why = QStringLiteral("too large for a recorded table");
            break;
        }
        bytes.append(chunk.data(), got);
    }
    ::close(fd);
    if (!why.isEmpty()) {
        return failure(why);
    }
    RecordedTable result = fromBytes(bytes);
    if (!result.ok()) {
        result.error = path.toStdString() + ": " + result.error;
    }
    return result;
}

} // namespace voltrane
