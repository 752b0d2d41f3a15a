#pragma once

// What the setting-coercion fuzzer and its replay test check: a QVariant of any kind the
// settings store may get back (built from the input bytes) goes through integerSetting,
// doubleSetting, booleanSetting and stringSetting, and the answers must keep the contracts of
// appcore/SettingCoercion.h. Both include this header, so a corpus file is checked the same way.

#include "FuzzInput.h"
#include "appcore/SettingCoercion.h"

#include <QRegularExpression>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <bit>
#include <cmath>
#include <string>
#include <tuple>

namespace quorlan::fuzzing {

// Input layout: one kind byte (0 absent, 1 text, 3 text list, 4 value list, 5 qint64, 6 double,
// 7 bool, 8 byte array, 10 quint64, 17 QChar, any other a map), then what that kind needs (a
// length byte before each text or byte array, a count byte before list items, 1 to 8
// little-endian bytes for a number; missing bytes count as zero). Lists hold up to 7 items, and
// lists nest at most 4 deep, so a value stays small whatever the input.
inline QVariant decodeSetting(FuzzInput &in, int depth = 0) {
    const auto bytes = [&in] {
        const std::string_view piece = in.piece();
        return QByteArray(piece.data(), static_cast<qsizetype>(piece.size()));
    };
    const auto text = [&bytes] { return QString::fromUtf8(bytes()); };
    QVariantList list;
    switch (const int kind = in.byte() % 20) {
    case 0:
        return {};
    case 1:
        return text();
    case 3:
    case 4:
        for (int n = in.byte() % 8; n > 0; --n)
            list.append(kind == 4 && depth < 4 ? decodeSetting(in, depth + 1) : QVariant(text()));
        return kind == 3 ? QVariant(QVariant(list).toStringList()) : QVariant(list);
    case 5:
        return static_cast<qint64>(in.word64());
    case 6:
        return std::bit_cast<double>(in.word64());
    case 7:
        return (in.byte() & 1) != 0;
    case 8:
        return bytes();
    case 10:
        return static_cast<quint64>(in.word64());
    case 17:
        return QChar(static_cast<char16_t>(in.word32()));
    default:
        return QVariantMap{{text(), text()}};
    }
}

inline QVariant decodeSetting(std::string_view bytes) {
    FuzzInput in(bytes);
    return decodeSetting(in);
}

// integerSetting, doubleSetting and booleanSetting of a value.
inline std::tuple<qint64, double, bool> numbersOf(const QVariant &value) {
    return {integerSetting(value), doubleSetting(value), booleanSetting(value)};
}

// The integer a bool or number must give: itself, truncated, or 0 beyond qint64 or not finite.
inline std::optional<qint64> integerOfNumber(const QVariant &value) {
    const double truncated = std::trunc(value.toDouble());
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Bool:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::ULongLong:
        return value.toLongLong() < 0 ? 0 : value.toLongLong(); // beyond qint64 wraps below 0
    case QMetaType::Double:
        return truncated < 0x1p63 && truncated >= -0x1p63 ? static_cast<qint64>(truncated) : 0;
    default:
        return std::nullopt;
    }
}

// The readings of value, whose text is text (a list's text is its items joined).
inline std::string textViolation(const QString &text, const QVariant &value) {
    const auto [integer, real, boolean] = numbersOf(value);
    if (stringSetting(value) != text)
        return "stringSetting of a text is not the text exactly";
    // A plain decimal of up to 18 whole digits, which always fits in qint64.
    static const QRegularExpression plain(QStringLiteral("^([+-]?)([0-9]{0,18})(\\.[0-9]*)?$"));
    const QRegularExpressionMatch m = plain.match(text.trimmed());
    if (m.hasMatch() && (m.capturedLength(2) > 0 || m.capturedLength(3) > 1) &&
        integer != m.captured(2).toLongLong() * (m.captured(1) == QLatin1String("-") ? -1 : 1))
        return "integerSetting of a plain decimal text is not its whole part";
    static const QRegularExpression nonNumber(QStringLiteral("[^0-9+.eE-]"));
    if (text.trimmed().contains(nonNumber) && (integer != 0 || real != 0.0))
        return "a text that is not a number gave a nonzero number";
    const QString word = text.trimmed().toLower();
    if (boolean !=
        (word == QLatin1String("true") || (word != QLatin1String("false") && real != 0.0)))
        return "booleanSetting of a text is neither its true/false word nor the nonzero rule";
    return {};
}

// Empty when the four readings of value keep their contracts; otherwise which one broke.
inline std::string settingCoercionViolation(const QVariant &value) {
    const std::optional<QString> shown = stringSetting(value);
    const auto [integer, real, boolean] = numbersOf(value);
    if (!std::isfinite(real))
        return "doubleSetting is not finite";
    if (integer != 0 && (real == 0.0 || (integer < 0) != (real < 0)))
        return "integerSetting and doubleSetting disagree in sign";
    const int type = value.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray)
        return textViolation(value.toString(), value);
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
        if (!shown || numbersOf(value) != numbersOf(*shown))
            return "a list does not read like its joined text";
        if (value.toList().size() >= 2 && (integer != 0 || real != 0.0))
            return "a list of two or more items gave a nonzero number";
        return textViolation(*shown, value);
    }
    const double finite = std::isfinite(value.toDouble()) ? value.toDouble() : 0.0;
    if (const std::optional<qint64> expected = integerOfNumber(value)) {
        if (numbersOf(value) != std::tuple{*expected, finite, finite != 0.0})
            return "a bool or number does not read as itself (its truncation, or 0 when it "
                   "is not finite or beyond qint64)";
        if (shown && type != QMetaType::Bool &&
            numbersOf(*shown) != std::tuple{integer, real, boolean})
            return "the text of a number does not read back as the same number";
    }
    const bool hasText = value.isValid() && value.canConvert<QString>();
    if (shown != (hasText ? std::optional<QString>(value.toString()) : std::nullopt))
        return "stringSetting of a value is not its text, or it has a text without one";
    return {};
}

inline std::string settingCoercionViolation(std::string_view bytes) {
    return settingCoercionViolation(decodeSetting(bytes));
}

} // namespace quorlan::fuzzing
