#include "common/json_literals.h"

#include <algorithm>

namespace voltrane {

qsizetype RewrittenJson::originalOffset(qsizetype offset) const {
    qsizetype shift = 0;
    for (const auto& [at, added] : shifts) {
        if (at > offset) {
            break;
        }
        shift = added;
    }
    return std::max<qsizetype>(0, offset - shift);
}

namespace {

/// Whether the quote at `quote` closes an object key: the next non-blank byte is ':'.
bool closesKey(const QByteArray& json, qsizetype quote) {
    qsizetype next = quote + 1;
    while (next < json.size() && QByteArrayView(" \t\r\n").contains(json[next])) {
        ++next;
    }
    return next < json.size() && json[next] == ':';
}

} // namespace

RewrittenJson
rewriteNumberLiterals(const QByteArray& json,
                      const std::function<std::optional<QByteArray>(const QByteArray&)>& replace,
                      const std::function<QByteArray()>& keySuffix) {
    RewrittenJson out;
    out.text.reserve(json.size() + json.size() / 2);
    bool inString = false;
    qsizetype added = 0;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '"' && keySuffix && closesKey(json, i)) {
                const QByteArray suffix = keySuffix();
                out.text += suffix;
                added += suffix.size();
                out.shifts.emplace_back(out.text.size(), added);
            }
            out.text += c;
            if (c == '\\' && i + 1 < json.size()) {
                out.text += json[++i];
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
            out.text += c;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            qsizetype end = i + 1;
            while (end < json.size() && QByteArrayView("0123456789+-.eE").contains(json[end])) {
                ++end;
            }
            const QByteArray literal = json.mid(i, end - i);
            if (const auto replacement = replace(literal)) {
                out.text += *replacement;
                added += replacement->size() - literal.size();
                out.shifts.emplace_back(out.text.size(), added);
            } else {
                out.text += literal;
            }
            i = end - 1;
        } else {
            out.text += c;
        }
    }
    return out;
}

} // namespace voltrane
