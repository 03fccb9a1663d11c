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
#include <map>
#include <string_view>
#include <vector>

namespace voltrane {

namespace {

// Every number literal is wrapped as {"\u0001": "<literal>"} before Qt parses the text, and read
// back here exactly.
constexpr char16_t literalKey = u'\x01';

// Qt's reader also keeps only the last of a repeated key. Every key of the text gets "\u0002" and
// its place among all keys (8 hex digits) appended, so repeats stay apart and the first can win.
constexpr char16_t keyMark = u'\x02';

struct Key {
    QString name;
    quint32 place = 0;
};

Key splitKey(const QString& marked) {
    const qsizetype at = marked.lastIndexOf(QChar(keyMark));
    if (at < 0) {
        return {marked, 0};
    }
    return {marked.left(at), marked.mid(at + 1).toUInt(nullptr, 16)};
}

RewrittenJson wrapLiteralsAndMarkKeys(const QByteArray& bytes) {
    quint32 keys = 0;
    return rewriteNumberLiterals(
        bytes,
        [](const QByteArray& literal) -> std::optional<QByteArray> {
            return QByteArrayLiteral("{\"\\u0001\":\"") + literal + QByteArrayLiteral("\"}");
        },
        [&keys] {
            return QByteArrayLiteral("\\u0002") + QByteArray::number(keys++, 16).rightJustified(8, '0');
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
        return table(firstMembers(object), where, depth);
    }

private:
    std::nullopt_t failure(const std::string& where, const std::string& what) {
        error = "\"" + (where.empty() ? std::string("(top level)") : where) + "\" " + what;
        return std::nullopt;
    }

    using Members = std::map<std::string, QJsonValue, std::less<>>;

    /// Each key once, with the value it has first in the text.
    static Members firstMembers(const QJsonObject& object) {
        std::map<std::string, std::pair<quint32, QJsonValue>, std::less<>> firsts;
        for (auto it = object.begin(); it != object.end(); ++it) {
            const Key key = splitKey(it.key());
            const auto [slot, added] = firsts.try_emplace(key.name.toStdString(), key.place, it.value());
            if (!added && key.place < slot->second.first) {
                slot->second = {key.place, it.value()};
            }
        }
        Members members;
        for (auto& [key, first] : firsts) {
            members.emplace(key, std::move(first.second));
        }
        return members;
    }

    std::optional<PropertyTable> table(const Members& members, const std::string& where, int depth) {
        PropertyTable table;
        for (const auto& [key, member] : members) {
            auto element = value(member, where.empty() ? key : where + "." + key, depth + 1);
            if (!element) {
                return std::nullopt;
            }
            table.emplace(key, std::move(*element));
        }
        return table;
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
        const Members members = firstMembers(object);
        if (members.size() == 1) {
            const std::string& tag = members.begin()->first;
            const QJsonValue& tagged = members.begin()->second;
            if (tag == "$u64") {
                return unsignedNumber(tagged, where);
            }
            if (tag == "$i64") {
                return signedNumber(tagged, where);
            }
            if (tag == "$f64") {
                return doubleNumber(tagged, where);
            }
        }
        auto nested = table(members, where, depth);
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
    const RewrittenJson wrapped = wrapLiteralsAndMarkKeys(bytes);
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
