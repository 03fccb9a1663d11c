#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace voltrane::probe {

/// A JSON value that keeps the order of object members as they were added.
/// Doubles print shortest-round-trip; NaN and infinities print as the strings "nan", "inf", "-inf".
class JsonValue {
public:
    using Array = std::vector<JsonValue>;
    using Object = std::vector<std::pair<std::string, JsonValue>>;

    JsonValue() = default; // null
    JsonValue(std::nullptr_t) {}
    JsonValue(bool value) : value_(value) {}
    JsonValue(int value) : value_(static_cast<std::int64_t>(value)) {}
    JsonValue(std::int64_t value) : value_(value) {}
    JsonValue(std::uint64_t value) : value_(value) {}
    JsonValue(double value) : value_(value) {}
    JsonValue(const char* value) : value_(std::string(value)) {}
    JsonValue(std::string value) : value_(std::move(value)) {}
    JsonValue(Array value) : value_(std::move(value)) {}
    JsonValue(Object value) : value_(std::move(value)) {}

    template <typename T> JsonValue(const std::optional<T>& value) {
        if (value) {
            *this = JsonValue(*value);
        }
    }

    static JsonValue object() { return JsonValue(Object{}); }
    static JsonValue array() { return JsonValue(Array{}); }

    /// Appends a member to an object (the value must be an object).
    JsonValue& add(std::string key, JsonValue value);
    /// Appends an element to an array (the value must be an array).
    JsonValue& push(JsonValue value);

    /// Compact UTF-8 text, one line.
    std::string dump() const;

private:
    void dumpTo(std::string& out) const;

    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Array, Object>
        value_;
};

/// Shortest text that reads back as the same double; "nan", "inf", "-inf" for the others.
std::string shortestDouble(double value);

} // namespace voltrane::probe
