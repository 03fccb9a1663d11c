#include "json_value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace voltrane::probe {

JsonValue& JsonValue::add(std::string key, JsonValue value) {
    std::get<Object>(value_).emplace_back(std::move(key), std::move(value));
    return *this;
}

JsonValue& JsonValue::push(JsonValue value) {
    std::get<Array>(value_).push_back(std::move(value));
    return *this;
}

std::string shortestDouble(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "inf" : "-inf";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

namespace {

void appendString(std::string& out, const std::string& text) {
    out += '"';
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (byte < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", byte);
                out += escape;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

} // namespace

void JsonValue::dumpTo(std::string& out) const {
    std::visit(
        [&out](const auto& value) {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                out += "null";
            } else if constexpr (std::is_same_v<T, bool>) {
                out += value ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
                out += std::to_string(value);
            } else if constexpr (std::is_same_v<T, double>) {
                const std::string text = shortestDouble(value);
                if (std::isfinite(value)) {
                    out += text;
                } else {
                    appendString(out, text);
                }
            } else if constexpr (std::is_same_v<T, std::string>) {
                appendString(out, value);
            } else if constexpr (std::is_same_v<T, Array>) {
                out += '[';
                for (std::size_t i = 0; i < value.size(); ++i) {
                    if (i > 0) {
                        out += ',';
                    }
                    value[i].dumpTo(out);
                }
                out += ']';
            } else {
                out += '{';
                for (std::size_t i = 0; i < value.size(); ++i) {
                    if (i > 0) {
                        out += ',';
                    }
                    appendString(out, value[i].first);
                    out += ':';
                    value[i].second.dumpTo(out);
                }
                out += '}';
            }
        },
        value_);
}

std::string JsonValue::dump() const {
    std::string out;
    dumpTo(out);
    return out;
}

} // namespace voltrane::probe
