#include "telemetry/battery/recorded_table_reader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QXmlStreamReader>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdint>
#include <limits>
#include <locale.h>
#include <string_view>
#include <vector>

namespace voltrane {

namespace {

// Hostile recordings must not exhaust the stack; real tables nest three levels deep.
constexpr int maximumDepth = 128;

template <typename Integer> std::optional<Integer> parseInteger(const QByteArray& text) {
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

// Qt's JSON reader stores 2.0 as an integer, drops the sign of -0.0, rounds integers beyond 2^53 and
// refuses 1e400, so the storage type of a literal would be lost. Before Qt parses the text, every
// number literal is wrapped as {"\u0001": "<literal>"} and read back here exactly.
constexpr char16_t literalKey = u'\x01';

struct WrappedJson {
    QByteArray text;
    std::vector<std::pair<qsizetype, qsizetype>> shifts; ///< (offset in `text`, bytes added before it)

    qsizetype originalOffset(qsizetype offset) const {
        qsizetype shift = 0;
        for (const auto& [at, added] : shifts) {
            if (at > offset) {
                break;
            }
            shift = added;
        }
        return std::max<qsizetype>(0, offset - shift);
    }
};

WrappedJson wrapNumberLiterals(const QByteArray& bytes) {
    static const QByteArray prefix = QByteArrayLiteral("{\"\\u0001\":\"");
    static const QByteArray suffix = QByteArrayLiteral("\"}");
    WrappedJson wrapped;
    wrapped.text.reserve(bytes.size() + bytes.size() / 2);
    bool inString = false;
    qsizetype added = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            wrapped.text += c;
            if (c == '\\' && i + 1 < bytes.size()) {
                wrapped.text += bytes[++i];
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
            wrapped.text += c;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            qsizetype end = i + 1;
            while (end < bytes.size() && (QByteArrayView("0123456789+-.eE").contains(bytes[end]))) {
                ++end;
            }
            wrapped.text += prefix;
            wrapped.text += bytes.mid(i, end - i);
            wrapped.text += suffix;
            added += prefix.size() + suffix.size();
            wrapped.shifts.emplace_back(wrapped.text.size(), added);
            i = end - 1;
        } else {
            wrapped.text += c;
        }
    }
    return wrapped;
}

/// -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, the JSON number grammar.
bool isJsonNumber(std::string_view text) {
    std::size_t i = 0;
    const auto digits = [&] {
        const std::size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            ++i;
        }
        return i - start;
    };
    if (i < text.size() && text[i] == '-') {
        ++i;
    }
    if (i < text.size() && text[i] == '0') {
        ++i;
    } else if (digits() == 0) {
        return false;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (digits() == 0) {
            return false;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (digits() == 0) {
            return false;
        }
    }
    return i == text.size();
}

// The C locale whatever the process's (Qt sets the user's at start-up).
double parseCDouble(const std::string& text) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return strtod_l(text.c_str(), nullptr, cLocale);
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
        case QJsonValue::Double:
        case QJsonValue::Undefined:
            break; // every literal arrives wrapped
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

    /// The exact text of a wrapped number literal.
    static std::optional<std::string> literal(const QJsonValue& json) {
        if (!json.isObject()) {
            return std::nullopt;
        }
        const QJsonObject object = json.toObject();
        if (object.size() != 1 || object.begin().key() != QString(QChar(literalKey)) ||
            !object.begin().value().isString()) {
            return std::nullopt;
        }
        return object.begin().value().toString().toStdString();
    }

    std::optional<PropertyValue> number(const std::string& text, const std::string& where) {
        if (!isJsonNumber(text)) {
            return failure(where, "has the malformed number " + text);
        }
        if (text.find_first_of(".eE") == std::string::npos) {
            std::int64_t integer = 0;
            const auto result = std::from_chars(text.data(), text.data() + text.size(), integer);
            if (result.ec == std::errc()) {
                return PropertyValue(integer);
            }
            // Beyond 64 bits a plain integer can only be held as a double.
        }
        return PropertyValue(parseCDouble(text));
    }

    std::optional<PropertyValue> object(const QJsonObject& object, const std::string& where, int depth) {
        if (const auto text = literal(object)) {
            return number(*text, where);
        }
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

    /// A decimal text or an integer literal.
    static std::optional<QByteArray> integerText(const QJsonValue& tagged) {
        if (tagged.isString()) {
            return tagged.toString().toLatin1();
        }
        if (const auto text = literal(tagged)) {
            return QByteArray::fromStdString(*text);
        }
        return std::nullopt;
    }

    std::optional<PropertyValue> unsignedNumber(const QJsonValue& tagged, const std::string& where) {
        if (const auto text = integerText(tagged)) {
            if (const auto value = parseInteger<std::uint64_t>(*text)) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$u64 needs a decimal from 0 to 18446744073709551615");
    }

    std::optional<PropertyValue> signedNumber(const QJsonValue& tagged, const std::string& where) {
        if (const auto text = integerText(tagged)) {
            if (const auto value = parseInteger<std::int64_t>(*text)) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$i64 needs a signed 64-bit integer or decimal text");
    }

    std::optional<PropertyValue> doubleNumber(const QJsonValue& tagged, const std::string& where) {
        if (const auto text = literal(tagged); text && isJsonNumber(*text)) {
            return PropertyValue(parseCDouble(*text));
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
                return failure("expected <key> in <dict>, found <" + xml_.name().toString().toStdString() +
                               ">");
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
    const WrappedJson wrapped = wrapNumberLiterals(bytes);
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(wrapped.text, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        result.error = "malformed JSON at offset " +
                       std::to_string(wrapped.originalOffset(parseError.offset)) + ": " +
                       parseError.errorString().toStdString();
        return result;
    }
    // A bare number at the top arrives wrapped in an object of our own.
    if (!document.isObject() || document.object().contains(QString(QChar(literalKey)))) {
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
