#include "ui/host/symbol_glyphs.h"

#include "ui/host/host_fonts.h"
#include "ui/host/symbol_table.h"

#include <QFile>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QPainter>
#include <QTextLayout>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace voltrane {

namespace {

// The outline is cached at this em size and scaled on drawing: large enough that the
// hinting-free outline keeps its curves.
constexpr qreal kOutlineEm = 64.0;

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Shapes the ligature word and returns its glyph when the font turns the word into exactly
// one glyph; otherwise glyph 0 (the font's missing glyph).
quint32 ligatureGlyph(const QString& family, const QString& ligature) {
    QFont font(family);
    font.setPixelSize(static_cast<int>(kOutlineEm));
    QTextLayout layout(ligature, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs.front().glyphIndexes().size() != 1 ||
        runs.front().rawFont().familyName() != family) {
        return 0;
    }
    return runs.front().glyphIndexes().front();
}

/// The installed face of exactly `family`; a font request for a missing family would otherwise
/// quietly match some other face.
QRawFont installedFace(const QString& family) {
    if (!QFontDatabase::hasFamily(family)) {
        return {};
    }
    QFont font(family);
    font.setPixelSize(static_cast<int>(kOutlineEm));
    QRawFont raw = QRawFont::fromFont(font);
    return raw.isValid() && raw.familyName() == family ? raw : QRawFont();
}

/// The bytes of the file at `path`, mapped for the rest of the process (faces made from them
/// keep referring to them), or nothing.
QByteArray mappedFile(const QString& path) {
    static std::map<QString, QByteArray> mapped;
    if (const auto found = mapped.find(path); found != mapped.end()) {
        return found->second;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size <= 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return {};
    }
    void* data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (data == MAP_FAILED) {
        return {};
    }
    return mapped.emplace(path, QByteArray::fromRawData(static_cast<const char*>(data), info.st_size))
        .first->second;
}

/// The face in the file at `path` and the family that shapes its ligatures, or nothing.
std::pair<QRawFont, QString> faceFromFile(const QString& path) {
    const QByteArray bytes = mappedFile(path);
    QRawFont raw = bytes.isEmpty() ? QRawFont() : QRawFont(bytes, kOutlineEm);
    if (!raw.isValid()) {
        return {};
    }
    if (QFontDatabase::hasFamily(raw.familyName())) {
        return {raw, raw.familyName()};
    }
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? std::pair<QRawFont, QString>() : std::pair(raw, families.front());
}

} // namespace

SymbolGlyphs::SymbolGlyphs(const QString& family, const QString& fontPath) {
    // The file first, mapped: FreeType then reads only the tables and glyphs in use. Found by
    // family, the face may come from the WOFF2 copy, which is unpacked whole into memory.
    auto [raw, registered] = faceFromFile(fontPath);
    if (!raw.isValid()) {
        raw = installedFace(family);
        registered = family;
    }
    if (!raw.isValid()) {
        return;
    }
    iconFont_ = raw;
    registeredFamily_ = registered;
}

SymbolGlyphs& SymbolGlyphs::shared() {
    static SymbolGlyphs glyphs(QString::fromLatin1(kFamily), QString::fromLatin1(kDefaultFontPath));
    return glyphs;
}

const QPainterPath& SymbolGlyphs::outline(std::string_view systemName) const {
    static const QPainterPath empty;
    if (const auto found = outlines_.find(systemName); found != outlines_.end()) {
        return found->second;
    }
    const SymbolEntry* entry = SymbolTable::find(systemName);
    if (entry == nullptr || !iconFont_.isValid()) {
        return empty;
    }
    // Built on first use: the tray draws a handful of symbols and never needs the other outlines.
    // The code point is a plain character-map look-up; shaping the ligature word would copy the
    // face's large ligature tables into memory, so it is left for a face that lacks the code point.
    // A symbol without a glyph is kept as an empty path, so it is looked up once.
    const QList<quint32> indexes = iconFont_.glyphIndexesForString(QString(QChar(entry->codepoint)));
    quint32 glyph = indexes.isEmpty() ? 0 : indexes.front();
    if (glyph == 0) {
        glyph = ligatureGlyph(registeredFamily_, toQString(entry->ligature));
    }
    return outlines_
        .emplace(std::string(systemName), glyph != 0 ? iconFont_.pathForGlyph(glyph) : QPainterPath())
        .first->second;
}

SymbolGlyphs::Source SymbolGlyphs::source(std::string_view systemName) const {
    return outline(systemName).isEmpty() ? Source::fallbackText : Source::iconFont;
}

void SymbolGlyphs::paint(QPainter& painter, const QRectF& rect, std::string_view systemName, qreal size,
                         QFont::Weight weight, const QColor& color) const {
    if (size <= 0 || !color.isValid()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QPainterPath& path = outline(systemName);
    if (!path.isEmpty()) {
        // Glyph outlines sit on the baseline; centre the em box (ascent above, descent
        // below) in the target rectangle.
        const qreal scale = size / kOutlineEm;
        const qreal emHeight = iconFont_.ascent() + iconFont_.descent();
        const qreal advance = kOutlineEm;
        painter.translate(rect.center());
        painter.scale(scale, scale);
        painter.translate(-advance / 2.0, -emHeight / 2.0 + iconFont_.ascent());
        painter.setPen(Qt::NoPen);
        painter.setBrush(color);
        painter.drawPath(path);
        if (weight > QFont::Normal) {
            // One em carries 0.02 em of extra stroke per weight step above regular.
            const qreal steps = (static_cast<int>(weight) - static_cast<int>(QFont::Normal)) / 100.0;
            QPen pen(color, kOutlineEm * 0.012 * steps);
            pen.setJoinStyle(Qt::RoundJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(path);
        }
    } else {
        const SymbolEntry* entry = SymbolTable::find(systemName);
        const QString text =
            entry != nullptr
                ? QString::fromUtf16(entry->fallback.data(), static_cast<qsizetype>(entry->fallback.size()))
                : QStringLiteral("?");
        QFont font = HostFonts::system(size * 0.9, weight);
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(rect, Qt::AlignCenter, text);
    }
    painter.restore();
}

} // namespace voltrane
