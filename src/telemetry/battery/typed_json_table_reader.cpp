#include "telemetry/battery/typed_json_table_reader.h"

#include "common/c_number.h"
#include "common/json_literals.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string_view>
#include <vector>

namespace voltrane {

namespace {

// Every number literal is wrapped as {"\u0001": "<literal>"} before Qt parses the text, and read
// back here exactly.
constexpr char16_t literalKey = u'\x01';

RewrittenJson wrapNumberLiterals(const QByteArray& bytes) {
    return rewriteNumberLiterals(bytes, [](const QByteArray& literal) -> std::optional<QByteArray> {
        return QByteArrayLiteral("{\"\\u0001\":\"") + literal + QByteArrayLiteral("\"}");
    });
}

class TypedJsonConverter {
public:
    std::string error;

    std::optional<PropertyValue> value(const QJsonValue& json, const std::string& where, int depth) {
        if (depth > kMaximumTableDepth) {
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
        return PropertyValue(parseCNumber(text).value_or(0.0));
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
            if (const auto value = parseWholeInteger<std::uint64_t>(text->toStdString())) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$u64 needs a decimal from 0 to 18446744073709551615");
    }

    std::optional<PropertyValue> signedNumber(const QJsonValue& tagged, const std::string& where) {
        if (const auto text = integerText(tagged)) {
            if (const auto value = parseWholeInteger<std::int64_t>(text->toStdString())) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$i64 needs a signed 64-bit integer or decimal text");
    }

    std::optional<PropertyValue> doubleNumber(const QJsonValue& tagged, const std::string& where) {
        if (const auto text = literal(tagged); text && isJsonNumber(*text)) {
            return PropertyValue(parseCNumber(*text).value_or(0.0));
        }
        if (tagged.isString()) {
            if (const auto value = parseNonFiniteWord(tagged.toString().toStdString())) {
                return PropertyValue(*value);
            }
        }
        return failure(where, "$f64 needs a number or \"nan\", \"-nan\", \"inf\", \"-inf\"");
    }
};

} // namespace

RecordedTable TypedJsonTableReader::read(const QByteArray& bytes) {
    RecordedTable result;
    const RewrittenJson wrapped = wrapNumberLiterals(bytes);
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

} // namespace voltrane
