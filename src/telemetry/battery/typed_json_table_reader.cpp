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

/// The value of a number literal: a plain integer is signed 64-bit, anything else a double.
/// Nothing when the text is no JSON number.
std::optional<PropertyValue> literalValue(std::string_view text) {
    if (!isJsonNumber(text)) {
        return std::nullopt;
    }
    if (text.find_first_of(".eE") == std::string_view::npos) {
        std::int64_t integer = 0;
        if (std::from_chars(text.data(), text.data() + text.size(), integer).ec == std::errc()) {
            return PropertyValue(integer);
        }
        // Beyond 64 bits a plain integer can only be held as a double.
    }
    return PropertyValue(parseCNumber(text).value_or(0.0));
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
        if (auto value = literalValue(text)) {
            return value;
        }
        return failure(where, "has the malformed number " + text);
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

/// Reads the plain form straight into values: well-formed ASCII text without escapes or repeated
/// keys, which is what recordings hold. It gives up on anything else (an error, an escape, a
/// repeat, other bytes, too deep a nesting) and leaves that to the reader through Qt, which words
/// the error or settles the case; where both read a table, they read the same one.
class PlainReader {
public:
    explicit PlainReader(std::string_view text) : text_(text) {}

    std::optional<PropertyTable> document() {
        skipSpace();
        auto members = object(0);
        skipSpace();
        if (!members || at_ != text_.size()) {
            return std::nullopt;
        }
        return members;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    void skipSpace() {
        while (at_ < text_.size() && isSpace(text_[at_])) {
            ++at_;
        }
    }

    bool take(char c) {
        skipSpace();
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    bool takeWord(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    std::optional<std::string> string() {
        if (!take('"')) {
            return std::nullopt;
        }
        const std::size_t start = at_;
        while (at_ < text_.size() && text_[at_] != '"') {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (c < 0x20 || c > 0x7e || c == '\\') {
                return std::nullopt;
            }
            ++at_;
        }
        if (at_ == text_.size()) {
            return std::nullopt;
        }
        return std::string(text_.substr(start, at_++ - start));
    }

    /// The literal's text: a '-' or digit and what follows of "0123456789+-.eE".
    std::string_view literal() {
        const std::size_t start = at_;
        while (at_ < text_.size() &&
               std::string_view("0123456789+-.eE").find(text_[at_]) != std::string_view::npos) {
            ++at_;
        }
        return text_.substr(start, at_ - start);
    }

    /// The members of an object whose '{' is next, its values at `depth + 1`.
    std::optional<PropertyTable> object(int depth) {
        if (!take('{')) {
            return std::nullopt;
        }
        PropertyTable members;
        if (take('}')) {
            return members;
        }
        do {
            auto key = string();
            if (!key || !take(':')) {
                return std::nullopt;
            }
            auto member = value(depth + 1);
            if (!member || !members.emplace(std::move(*key), std::move(*member)).second) {
                return std::nullopt;
            }
        } while (take(','));
        return take('}') ? std::optional(std::move(members)) : std::nullopt;
    }

    std::optional<PropertyValue> value(int depth) {
        if (depth > kMaximumTableDepth) {
            return std::nullopt;
        }
        skipSpace();
        if (at_ == text_.size()) {
            return std::nullopt;
        }
        const char c = text_[at_];
        if (c == '"') {
            auto text = string();
            return text ? std::optional(PropertyValue(std::move(*text))) : std::nullopt;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            return literalValue(literal());
        }
        if (c == '[') {
            ++at_;
            PropertyList list;
            if (take(']')) {
                return PropertyValue(std::move(list));
            }
            do {
                auto element = value(depth + 1);
                if (!element) {
                    return std::nullopt;
                }
                list.push_back(std::move(*element));
            } while (take(','));
            return take(']') ? std::optional(PropertyValue(std::move(list))) : std::nullopt;
        }
        if (c == '{') {
            if (opensWithTag()) {
                return taggedNumber();
            }
            auto members = object(depth);
            return members ? std::optional(PropertyValue(std::move(*members))) : std::nullopt;
        }
        if (takeWord("true")) {
            return PropertyValue(true);
        }
        if (takeWord("false")) {
            return PropertyValue(false);
        }
        if (takeWord("null")) {
            return PropertyValue();
        }
        return std::nullopt;
    }

    static bool isTag(const std::string& key) { return key == "$u64" || key == "$i64" || key == "$f64"; }

    /// Whether the object that opens next names a storage type first.
    bool opensWithTag() {
        const std::size_t start = at_;
        const bool tagged = take('{') && isTag(string().value_or(std::string()));
        at_ = start;
        return tagged;
    }

    /// {"$u64": …}, {"$i64": …} or {"$f64": …} with a value its tag takes. Nothing for any other
    /// object opening with a tag: a bad value, or a tag among other members, is the other
    /// reader's to report or read.
    std::optional<PropertyValue> taggedNumber() {
        take('{');
        const std::string tag = string().value_or(std::string());
        if (!take(':')) {
            return std::nullopt;
        }
        skipSpace();
        const bool quoted = at_ < text_.size() && text_[at_] == '"';
        std::optional<std::string> text;
        if (quoted) {
            text = string();
        } else if (at_ < text_.size() && (text_[at_] == '-' || (text_[at_] >= '0' && text_[at_] <= '9'))) {
            text = std::string(literal());
        }
        if (!text || !take('}')) {
            return std::nullopt;
        }
        if (tag == "$u64") {
            const auto value =
                (quoted || isJsonNumber(*text)) ? parseWholeInteger<std::uint64_t>(*text) : std::nullopt;
            return value ? std::optional(PropertyValue(*value)) : std::nullopt;
        }
        if (tag == "$i64") {
            const auto value =
                (quoted || isJsonNumber(*text)) ? parseWholeInteger<std::int64_t>(*text) : std::nullopt;
            return value ? std::optional(PropertyValue(*value)) : std::nullopt;
        }
        const auto value = quoted                ? parseNonFiniteWord(*text)
                           : isJsonNumber(*text) ? parseCNumber(*text)
                                                 : std::nullopt;
        return value ? std::optional(PropertyValue(*value)) : std::nullopt;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace

std::optional<PropertyTable> TypedJsonTableReader::readPlain(std::string_view text) {
    return PlainReader(text).document();
}

RecordedTable TypedJsonTableReader::read(const QByteArray& bytes) {
    if (auto table = readPlain(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())))) {
        RecordedTable result;
        result.entry = std::move(*table);
        return result;
    }
    return readThroughQt(bytes);
}

RecordedTable TypedJsonTableReader::readThroughQt(const QByteArray& bytes) {
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
