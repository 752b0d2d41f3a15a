#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

namespace quorlan {

// An XML property list read into Qt values:
//   dict -> QVariantMap (keys sorted, not in document order; a repeated key is refused)
//   array -> QVariantList, string -> QString (exactly as written, not trimmed)
//   integer -> qint64 (decimal, optional sign; beyond the 64-bit range is refused)
//   real -> double (decimal or exponent notation, inf and nan; beyond the double range is refused)
//   true / false -> bool, date -> QDateTime in UTC (YYYY-MM-DDTHH:MM:SSZ)
//   data -> QByteArray (base64; white space anywhere in it is ignored)
// Numbers, dates and data may be surrounded by white space. The document holds exactly one
// value inside <plist>. A document type is allowed, but entity declarations are refused, so only
// the five predefined entities and character references are expanded. Unknown elements, text
// between elements, input above maxBytes and containers nested deeper than maxDepth are refused.
// Reading never throws and never recurses deeper than maxDepth.
struct PropertyList {
    static constexpr qsizetype maxBytes = 16 * 1024 * 1024;
    static constexpr int maxDepth = 64;

    // The root value; absent when the input is not a property list by the rules above.
    std::optional<QVariant> root;
    // Why there is no root value, for diagnostics (never shown in the log).
    QString error;

    static PropertyList read(const QByteArray &xml);
};

} // namespace quorlan
