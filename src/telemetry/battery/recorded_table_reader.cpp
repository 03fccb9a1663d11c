#include "telemetry/battery/recorded_table_reader.h"

#include <QCborValue>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>

#include <charconv>
#include <cstdint>
#include <limits>

namespace voltrane {

namespace {

// Hostile recordings must not exhaust the stack; real tables nest three levels deep.
constexpr int maximumDepth = 128;

template <typename Integer>
std::optional<Integer> parseInteger(const QByteArray& text) {
    Integer value{};
    const char* begin = text.constData();
    const char* end = begin + text.size();
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseSpecialDouble(const QString& text) {
    if (text == QLatin1String("nan") || text == QLatin1String("-nan")) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (text == QLatin1String("inf")) {
        return std::numeric_limits<double>::infinity();
    }
    if (text == QLatin1String("-inf")) {
        return -std::numeric_limits<double>::infinity();
    }
    return std::nullopt;
}

class TypedJsonConverter {
public:
    std::string error;

    std::optional<PropertyValue> value(const QJsonValue& json, const std::string& where, int depth) {
        if (depth > maximumDepth) {
            return failure(where, "nested too deeply");
        }
        switch (json.type()) {
            case QJsonValue::Null:
                return PropertyValue();
            case QJsonValue::Bool:
                return PropertyValue(json.toBool());
            case QJsonValue::String:
                return PropertyValue(json.toString().toStdString());
            case QJsonValue::Double:
                return number(json);
            case QJsonValue::Array: {
                PropertyList list;
                const QJsonArray array = json.toArray();
                list.reserve(static_cast<std::size_t>(array.size()));
                for (qsizetype i = 0; i < array.size(); ++i) {
                    auto element = value(array.at(i), where + "[" + std::to_string(i) + "]", depth + 1);
                    if (!element) {
                        return std::nullopt;
                    }
                    list.push_back(std::move(*element));
                }
                return PropertyValue(std::move(list));
            }
            case QJsonValue::Object:
                return object(json.toObject(), where, depth);
            case QJsonValue::Undefined:
                break;
        }
        return failure(where, "has an unreadable value");
    }

    std::optional<PropertyTable> table(const QJsonObject& object, const std::string& where, int depth) {
        PropertyTable table;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const std::string key = it.key().toStdString();
            auto element = value(it.value(), where.empty() ? key : where + "." + key, depth + 1);
            if (!element) {
                return std::nullopt;
            }
            table.insert_or_assign(key, std::move(*element));
        }
        return table;
    }

private:
    std::nullopt_t failure(const std::string& where, const std::string& what) {
        error = "\"" + (where.empty() ? std::string("(top level)") : where) + "\" " + what;
        return std::nullopt;
    }

    static PropertyValue number(const QJsonValue& json) {
        // Qt keeps integral literals as integers; the others are doubles.
        const QCborValue stored = QCborValue::fromJsonValue(json);
        if (stored.isInteger()) {
            return PropertyValue(static_cast<std::int64_t>(stored.toInteger()));
        }
        return PropertyValue(json.toDouble());
    }

    std::optional<PropertyValue> object(const QJsonObject& object, const std::string& where, int depth) {
        if (object.size() == 1) {
            const QString tag = object.begin().key();
            const QJsonValue tagged = object.begin().value();
            if (tag == QLatin1String("$u64")) {
                return unsignedNumber(tagged, where);
            }
            if (tag == QLatin1String("$i64")) {
                return signedNumber(tagged, where);
            }
            if (tag == QLatin1String("$f64")) {
                return doubleNumber(tagged, where);
            }
        }
        auto nested = table(object, where, depth);
        if (!nested) {
            return std::nullopt;
        }
        return PropertyValue(std::move(*nested));
    }

    std::optional<PropertyValue> unsignedNumber(const QJsonValue& tagged, const std::string& where) {
        if (tagged.isString()) {
            if (const auto value = parseInteger<std::uint64_t>(tagged.toString().toLatin1())) {
                return PropertyValue(*value);
            }
        } else if (const QCborValue stored = QCborValue::fromJsonValue(tagged);
                   stored.isInteger() && stored.toInteger() >= 0) {
            return PropertyValue(static_cast<std::uint64_t>(stored.toInteger()));
        }
        return failure(where, "$u64 needs a decimal text from 0 to 18446744073709551615");
    }

    std::optional<PropertyValue> signedNumber(const QJsonValue& tagged, const std::string& where) {
        if (tagged.isString()) {
            if (const auto value = parseInteger<std::int64_t>(tagged.toString().toLatin1())) {
                return PropertyValue(*value);
            }
        } else if (const QCborValue stored = QCborValue::fromJsonValue(tagged); stored.isInteger()) {
            return PropertyValue(static_cast<std::int64_t>(stored.toInteger()));
        }
        return failure(where, "$i64 needs a signed 64-bit integer or decimal text");
    }

    std::optional<PropertyValue> doubleNumber(const QJsonValue& tagged, const std::string& where) {
        if (tagged.isDouble()) {
            return PropertyValue(tagged.toDouble());
        }
        if (tagged.isString()) {
            if (const auto value = parseSpecialDouble(tagged.toString())) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$f64 needs a number or \"nan\", \"-nan\", \"inf\", \"-inf\"");
    }
};

class PlistConverter {
public:
    explicit PlistConverter(const QByteArray& bytes) : xml_(bytes) {}

    RecordedTableReader::Result read() {
        RecordedTableReader::Result result;
        if (!xml_.readNextStartElement() || xml_.name() != QLatin1String("plist")) {
            return finish(result, "expected a <plist> element");
        }
        if (!xml_.readNextStartElement()) {
            return finish(result, "the <plist> element holds no value");
        }
        auto root = value(0);
        if (!root) {
            return finish(result, error_);
        }
        if (const PropertyTable* table = root->table()) {
            result.entry = *table;
        } else if (const PropertyList* list = root->list()) {
            if (!list->empty()) {
                if (!list->front().table()) {
                    return finish(result, "the first element of the array is not a <dict>");
                }
                result.entry = *list->front().table();
            }
        } else {
            return finish(result, "the <plist> holds neither a <dict> nor an <array>");
        }
        // Anything after the root value must still be well-formed XML.
        while (!xml_.atEnd()) {
            xml_.readNext();
        }
        return finish(result, {});
    }

private:
    QXmlStreamReader xml_;
    std::string error_;

    RecordedTableReader::Result finish(RecordedTableReader::Result& result, const std::string& problem) {
        std::string message = problem;
        if (xml_.hasError()) {
            message = xml_.errorString().toStdString();
        }
        if (!message.empty()) {
            result.entry.reset();
            result.error = "malformed plist at line " + std::to_string(xml_.lineNumber()) + ", column " +
                           std::to_string(xml_.columnNumber()) + ": " + message;
        }
        return result;
    }

    std::nullopt_t failure(const std::string& what) {
        if (error_.empty()) {
            error_ = what;
        }
        return std::nullopt;
    }

    // Called on a start element; leaves the reader on its end element.
    std::optional<PropertyValue> value(int depth) {
        if (depth > maximumDepth) {
            return failure("nested too deeply");
        }
        const auto name = xml_.name();
        if (name == QLatin1String("dict")) {
            return dict(depth);
        }
        if (name == QLatin1String("array")) {
            PropertyList list;
            while (xml_.readNextStartElement()) {
                auto element = value(depth + 1);
                if (!element) {
                    return std::nullopt;
                }
                list.push_back(std::move(*element));
            }
            return done(PropertyValue(std::move(list)));
        }
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool flag = name == QLatin1String("true");
            xml_.readElementText();
            return done(PropertyValue(flag));
        }
        if (name == QLatin1String("data") || name == QLatin1String("date")) {
            xml_.readElementText();
            return done(PropertyValue());
        }
        const QString elementName = name.toString();
        const QString text = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml_.hasError()) {
            return std::nullopt;
        }
        if (elementName == QLatin1String("string")) {
            return PropertyValue(text.toStdString());
        }
        if (elementName == QLatin1String("integer")) {
            return integer(text.trimmed());
        }
        if (elementName == QLatin1String("real")) {
            return real(text.trimmed());
        }
        return failure("unexpected element <" + elementName.toStdString() + ">");
    }

    std::optional<PropertyValue> done(PropertyValue value) {
        if (xml_.hasError()) {
            return std::nullopt;
        }
        return value;
    }

    std::optional<PropertyValue> dict(int depth) {
        PropertyTable table;
        while (xml_.readNextStartElement()) {
            if (xml_.name() != QLatin1String("key")) {
                return failure("expected <key> in <dict>, found <" + xml_.name().toString().toStdString() + ">");
            }
            const std::string key = xml_.readElementText().toStdString();
            if (xml_.hasError() || !xml_.readNextStartElement()) {
                return failure("the key \"" + key + "\" has no value");
            }
            auto element = value(depth + 1);
            if (!element) {
                return std::nullopt;
            }
            table.insert_or_assign(key, std::move(*element));
        }
        return done(PropertyValue(std::move(table)));
    }

    std::optional<PropertyValue> integer(const QString& text) {
        const QByteArray digits = text.toLatin1();
        if (digits.startsWith('-')) {
            if (const auto value = parseInteger<std::int64_t>(digits)) {
                return PropertyValue(*value);
            }
        } else if (const auto value = parseInteger<std::uint64_t>(digits)) {
            // Above INT64_MAX only an unsigned number can hold it.
            if (*value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return PropertyValue(*value);
            }
            return PropertyValue(static_cast<std::int64_t>(*value));
        }
        return failure("<integer> \"" + text.toStdString() + "\" is not a 64-bit integer");
    }

    std::optional<PropertyValue> real(const QString& text) {
        const QString lower = text.toLower();
        if (lower == QLatin1String("nan")) {
            return PropertyValue(std::numeric_limits<double>::quiet_NaN());
        }
        if (lower == QLatin1String("inf") || lower == QLatin1String("+inf") ||
            lower == QLatin1String("infinity") || lower == QLatin1String("+infinity")) {
            return PropertyValue(std::numeric_limits<double>::infinity());
        }
        if (lower == QLatin1String("-inf") || lower == QLatin1String("-infinity")) {
            return PropertyValue(-std::numeric_limits<double>::infinity());
        }
        bool ok = false;
        const double value = text.toLatin1().toDouble(&ok);
        if (!ok) {
            return failure("<real> \"" + text.toStdString() + "\" is not a number");
        }
        return PropertyValue(value);
    }
};

} // namespace

RecordedTableReader::Result RecordedTableReader::fromTypedJson(const QByteArray& bytes) {
    Result result;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = "malformed JSON at offset " + std::to_string(parseError.offset) + ": " +
                       parseError.errorString().toStdString();
        return result;
    }
    if (!document.isObject()) {
        result.error = "malformed table: expected a JSON object";
        return result;
    }
    TypedJsonConverter converter;
    result.entry = converter.table(document.object(), {}, 0);
    if (!result.entry) {
        result.error = "malformed table: " + converter.error;
    }
    return result;
}

RecordedTableReader::Result RecordedTableReader::fromPlist(const QByteArray& bytes) {
    return PlistConverter(bytes).read();
}

RecordedTableReader::Result RecordedTableReader::fromBytes(const QByteArray& bytes) {
    const QByteArray trimmed = bytes.trimmed();
    if (trimmed.startsWith('<')) {
        return fromPlist(bytes);
    }
    return fromTypedJson(bytes);
}

RecordedTableReader::Result RecordedTableReader::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        Result result;
        result.error = "cannot read " + path.toStdString() + ": " + file.errorString().toStdString();
        return result;
    }
    Result result = fromBytes(file.readAll());
    if (!result.ok()) {
        result.error = path.toStdString() + ": " + result.error;
    }
    return result;
}

} // namespace voltrane
