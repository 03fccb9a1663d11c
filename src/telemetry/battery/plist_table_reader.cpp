#include "telemetry/battery/plist_table_reader.h"

#include "common/c_number.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

namespace voltrane {

namespace {

class PlistConverter {
public:
    explicit PlistConverter(const QByteArray& bytes) : xml_(bytes) {}

    RecordedTable read() {
        RecordedTable result;
        if (!xml_.readNextStartElement() || xml_.name() != QLatin1String("plist")) {
            return failed("expected a <plist> element");
        }
        if (!xml_.readNextStartElement()) {
            return failed("the <plist> element holds no value");
        }
        entryLine_ = line();
        const Outcome root = xml_.name() == QLatin1String("array") ? rootArray() : value(0, {}, true);
        if (root.end == End::malformed) {
            return failed(error_);
        }
        if (root.value) {
            if (const PropertyTable* table = root.value->table()) {
                result.entry = *table;
            } else if (!root.value->list()) {
                return failed("the <plist> holds neither a <dict> nor an <array>");
            }
        }
        if (root.end == End::cut) {
            if (!result.entry || result.entry->empty()) {
                return failed("no readable property before the end");
            }
            notes_.push_back(cutOffNote(entryLine_, "AppleSmartBattery", true));
        } else {
            // Anything after the entry must still be well-formed XML, or merely end early.
            while (!xml_.atEnd()) {
                xml_.readNext();
            }
            if (xml_.hasError() && !cutOff()) {
                return failed({});
            }
        }
        // The innermost item was noted first; readers expect the outer one first.
        result.notes.assign(notes_.rbegin(), notes_.rend());
        return result;
    }

private:
    using End = RecordedValue::End;
    using Outcome = RecordedValue;

    QXmlStreamReader xml_;
    std::string error_;
    std::vector<std::string> notes_;
    int entryLine_ = 0;

    int line() const { return static_cast<int>(xml_.lineNumber()); }

    bool cutOff() const { return xml_.error() == QXmlStreamReader::PrematureEndOfDocumentError; }

    RecordedTable failed(const std::string& problem) {
        const std::string message = xml_.hasError() && !cutOff() ? xml_.errorString().toStdString() : problem;
        return {std::nullopt,
                "malformed plist at line " + std::to_string(xml_.lineNumber()) + ", column " +
                    std::to_string(xml_.columnNumber()) + ": " + message,
                {}};
    }

    Outcome malformed(const std::string& what) {
        if (error_.empty()) {
            error_ = what;
        }
        return {std::nullopt, End::malformed};
    }

    /// After an XML error: the input stopped early, or it is malformed.
    Outcome stopped(std::optional<PropertyValue> kept) {
        if (!cutOff()) {
            return malformed(xml_.errorString().toStdString());
        }
        return {std::move(kept), End::cut};
    }

    void noteCut(int at, const std::string& path, const Outcome& outcome, bool noting) {
        if (noting) {
            notes_.push_back(cutOffNote(at, path, outcome.value.has_value()));
        }
    }

    /// The array at the top: its first element is the entry, the only one whose items are noted.
    /// Ends as cut off only when the entry itself is.
    Outcome rootArray() {
        std::optional<PropertyValue> entry;
        while (xml_.readNextStartElement()) {
            const bool isEntry = !entry;
            if (isEntry && xml_.name() != QLatin1String("dict")) {
                return malformed("the first element of the array is not a <dict>");
            }
            if (isEntry) {
                entryLine_ = line();
            }
            Outcome element = value(1, {}, isEntry);
            if (element.end == End::malformed || (isEntry && element.end == End::cut)) {
                return element;
            }
            if (isEntry) {
                entry = std::move(element.value);
            } else if (element.end == End::cut) {
                return {std::move(entry), End::complete};
            }
        }
        if (xml_.hasError()) {
            return entry ? Outcome{std::move(entry), End::complete} : stopped(std::nullopt);
        }
        return {entry ? std::move(entry) : PropertyValue(PropertyList{}), End::complete};
    }

    // Called on a start element; on success leaves the reader on its end element.
    Outcome value(int depth, const std::string& path, bool noting) {
        if (depth > kMaximumTableDepth) {
            return malformed("nested too deeply");
        }
        const auto name = xml_.name();
        if (name == QLatin1String("dict")) {
            return dict(depth, path, noting);
        }
        if (name == QLatin1String("array")) {
            return array(depth, path, noting);
        }
        const QString elementName = name.toString();
        const QString text = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml_.hasError()) {
            return stopped(std::nullopt);
        }
        if (elementName == QLatin1String("true") || elementName == QLatin1String("false")) {
            return {PropertyValue(elementName == QLatin1String("true")), End::complete};
        }
        if (elementName == QLatin1String("data") || elementName == QLatin1String("date")) {
            return {PropertyValue(), End::complete};
        }
        if (elementName == QLatin1String("string")) {
            return {PropertyValue(text.toStdString()), End::complete};
        }
        if (elementName == QLatin1String("integer")) {
            return integer(text.trimmed());
        }
        if (elementName == QLatin1String("real")) {
            return real(text.trimmed());
        }
        return malformed("unexpected element <" + elementName.toStdString() + ">");
    }

    Outcome dict(int depth, const std::string& path, bool noting) {
        PropertyTable table;
        const auto kept = [&] { return std::optional(PropertyValue(table)); };
        while (xml_.readNextStartElement()) {
            if (xml_.name() != QLatin1String("key")) {
                return malformed("expected <key> in <dict>, found <" + xml_.name().toString().toStdString() +
                                 ">");
            }
            const int keyLine = line();
            const std::string key = xml_.readElementText().toStdString();
            const std::string memberPath = path.empty() ? key : path + "." + key;
            if (xml_.hasError() || !xml_.readNextStartElement()) {
                if (!xml_.hasError()) {
                    return malformed("the key \"" + key + "\" has no value");
                }
                Outcome cut = stopped(kept());
                noteCut(keyLine, memberPath, {}, noting && cut.end == End::cut);
                return cut;
            }
            Outcome member = value(depth + 1, memberPath, noting);
            if (member.end == End::malformed) {
                return member;
            }
            if (member.value) {
                table.try_emplace(key, std::move(*member.value));
            }
            if (member.end == End::cut) {
                noteCut(keyLine, memberPath, member, noting);
                return {kept(), End::cut};
            }
        }
        return xml_.hasError() ? stopped(kept()) : Outcome{kept(), End::complete};
    }

    Outcome array(int depth, const std::string& path, bool noting) {
        PropertyList list;
        const auto kept = [&] { return std::optional(PropertyValue(list)); };
        while (xml_.readNextStartElement()) {
            const int elementLine = line();
            const std::string elementPath = path + "[" + std::to_string(list.size()) + "]";
            Outcome element = value(depth + 1, elementPath, noting);
            if (element.end == End::malformed) {
                return element;
            }
            if (element.value) {
                list.push_back(std::move(*element.value));
            }
            if (element.end == End::cut) {
                noteCut(elementLine, elementPath, element, noting);
                return {kept(), End::cut};
            }
        }
        return xml_.hasError() ? stopped(kept()) : Outcome{kept(), End::complete};
    }

    Outcome integer(const QString& text) {
        const std::string digits = text.toStdString();
        if (digits.starts_with('-')) {
            if (const auto value = parseWholeInteger<std::int64_t>(digits)) {
                return {PropertyValue(*value), End::complete};
            }
        } else if (const auto value = parseWholeInteger<std::uint64_t>(digits)) {
            // Above INT64_MAX only an unsigned number can hold it.
            if (*value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return {PropertyValue(*value), End::complete};
            }
            return {PropertyValue(static_cast<std::int64_t>(*value)), End::complete};
        }
        return malformed("<integer> \"" + digits + "\" is not a 64-bit integer");
    }

    Outcome real(const QString& text) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan")) {
            return {PropertyValue(std::numeric_limits<double>::quiet_NaN()), End::complete};
        }
        if (lower == QLatin1String("inf") || lower == QLatin1String("+inf") ||
            lower == QLatin1String("infinity") || lower == QLatin1String("+infinity")) {
            return {PropertyValue(std::numeric_limits<double>::infinity()), End::complete};
        }
        if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity")) {
            return {PropertyValue(-std::numeric_limits<double>::infinity()), End::complete};
        }
        bool ok = false;
        const double value = text.toLatin1().toDouble(&ok);
        if (!ok) {
            return malformed("<real> \"" + text.toStdString() + "\" is not a number");
        }
        return {PropertyValue(value), End::complete};
    }
};

} // namespace

RecordedTable PlistTableReader::read(const QByteArray& bytes) {
    return PlistConverter(bytes).read();
}

} // namespace voltrane
