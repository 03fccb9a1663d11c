#include "telemetry/battery/property_value.h"

namespace voltrane {

PropertyValue::PropertyValue(PropertyTable value)
    : value_(std::make_shared<const PropertyTable>(std::move(value))) {}

PropertyValue::PropertyValue(PropertyList value)
    : value_(std::make_shared<const PropertyList>(std::move(value))) {}

const PropertyTable* PropertyValue::table() const {
    const auto* shared = std::get_if<std::shared_ptr<const PropertyTable>>(&value_);
    return shared ? shared->get() : nullptr;
}

const PropertyList* PropertyValue::list() const {
    const auto* shared = std::get_if<std::shared_ptr<const PropertyList>>(&value_);
    return shared ? shared->get() : nullptr;
}

bool operator==(const PropertyValue& a, const PropertyValue& b) {
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case PropertyValue::Kind::other:
        return true;
    case PropertyValue::Kind::signedInteger:
        return *a.signedInteger() == *b.signedInteger();
    case PropertyValue::Kind::unsignedInteger:
        return *a.unsignedInteger() == *b.unsignedInteger();
    case PropertyValue::Kind::real:
        return *a.real() == *b.real();
    case PropertyValue::Kind::boolean:
        return *a.boolean() == *b.boolean();
    case PropertyValue::Kind::text:
        return *a.text() == *b.text();
    case PropertyValue::Kind::table:
        return *a.table() == *b.table();
    case PropertyValue::Kind::list:
        return *a.list() == *b.list();
    }
    return false;
}

const PropertyValue* find(const PropertyTable& table, std::string_view key) {
    const auto found = table.find(key);
    return found == table.end() ? nullptr : &found->second;
}

} // namespace voltrane
