#pragma once

#include <QByteArray>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace voltrane {

/// JSON text whose number literals were rewritten before Qt parses it: Qt's reader stores 2.0 as
/// an integer, drops the sign of -0.0, rounds integers beyond 2^53 and refuses 1e400, so a
/// reader that needs a literal's exact text replaces it first.
struct RewrittenJson {
    QByteArray text;
    std::vector<std::pair<qsizetype, qsizetype>> shifts; ///< (offset in `text`, bytes added before it)

    /// Where an offset in `text` (a parse error's, say) lies in the original input.
    qsizetype originalOffset(qsizetype offset) const;
};

/// Calls `replace` with every number literal outside strings (a '-' or digit and what follows of
/// "0123456789+-.eE") and puts its answer in place of the literal; nullopt keeps the literal.
/// When given, `keySuffix` is called for every object key and its answer written just before
/// the key's closing quote.
RewrittenJson
rewriteNumberLiterals(const QByteArray& json,
                      const std::function<std::optional<QByteArray>(const QByteArray&)>& replace,
                      const std::function<QByteArray()>& keySuffix = {});

} // namespace voltrane
