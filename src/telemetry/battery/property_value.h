#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace voltrane {

class PropertyValue;

/// A string-keyed table of registry properties, as copied from the smart-battery entry.
using PropertyTable = std::map<std::string, PropertyValue, std::less<>>;
/// An ordered list of registry properties.
using PropertyList = std::vector<PropertyValue>;

/// One dynamically typed registry value: a number that remembers its storage type (signed 64-bit,
/// unsigned 64-bit or double), a boolean, a text, a nested table or a list. Tables and lists are
/// shared and immutable, so copying a value never copies a tree. A default-made value is "of
/// another kind" (recorded data or dates) that no reader accepts.
class PropertyValue {
public:
    enum class Kind { other, signedInteger, unsignedInteger, real, boolean, text, table, list };

    PropertyValue() = default;
    PropertyValue(int value) : value_(std::int64_t{value}) {}
    PropertyValue(std::int64_t value) : value_(value) {}
    PropertyValue(std::uint64_t value) : value_(value) {}
    PropertyValue(double value) : value_(value) {}
    PropertyValue(bool value) : value_(value) {}
    PropertyValue(const char* value) : value_(std::string(value)) {}
    PropertyValue(std::string value) : value_(std::move(value)) {}
    PropertyValue(PropertyTable value);
    PropertyValue(PropertyList value);

    Kind kind() const { return static_cast<Kind>(value_.index()); }

    // Each accessor gives the value when it is of that kind, else nullptr.
    const std::int64_t* signedInteger() const { return std::get_if<std::int64_t>(&value_); }
    const std::uint64_t* unsignedInteger() const { return std::get_if<std::uint64_t>(&value_); }
    const double* real() const { return std::get_if<double>(&value_); }
    const bool* boolean() const { return std::get_if<bool>(&value_); }
    const std::string* text() const { return std::get_if<std::string>(&value_); }
    const PropertyTable* table() const;
    const PropertyList* list() const;

    /// Deep comparison: same kind and same contents (a NaN real is unequal to itself).
    friend bool operator==(const PropertyValue& a, const PropertyValue& b);

private:
    struct Other {};
    // The index order matches `Kind`.
    std::variant<Other, std::int64_t, std::uint64_t, double, bool, std::string,
                 std::shared_ptr<const PropertyTable>, std::shared_ptr<const PropertyList>>
        value_;
};

/// The value under `key`, or nullptr when the key is missing.
const PropertyValue* find(const PropertyTable& table, std::string_view key);

} // namespace voltrane
