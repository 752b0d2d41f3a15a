#pragma once

// What the setting-coercion fuzzer and its replay test check: a QVariant of any kind the
// settings store may get back (built from the input bytes) goes through integerSetting,
// doubleSetting, booleanSetting and stringSetting, and the answers must keep the contracts of
// appcore/SettingCoercion.h. Both include this header, so a corpus file is checked the same way.

#include "FuzzInput.h"
#include "appcore/SettingCoercion.h"

#include <QByteArray>
#include <QChar>
#include <QDate>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

namespace quorlan::fuzzing {

// Lists inside lists stop here, so a value stays small whatever the input.
inline constexpr int maxSettingDepth = 4;

// Input layout: one kind byte, then what that kind needs (a length byte before each text or
// byte array, a count byte before list items, 1 to 8 little-endian bytes for a number; missing
// bytes count as zero). Lists hold up to 7 items; a QVariantList's items are values of any kind.
inline QVariant decodeSetting(FuzzInput &in, int depth = 0) {
    const auto text = [&in] {
        const std::string_view piece = in.piece();
        return QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size()));
    };
    switch (in.byte() % 20) {
    case 0:
        return {};
    case 1:
        return text();
    case 2: { // raw UTF-16, lone surrogates and all
        const std::string_view piece = in.piece();
        QString utf16;
        for (std::size_t i = 0; i + 1 < piece.size(); i += 2) {
            utf16.append(
                QChar(static_cast<char16_t>(static_cast<std::uint8_t>(piece[i]) |
                                            static_cast<std::uint8_t>(piece[i + 1]) << 8)));
        }
        return utf16;
    }
    case 3: {
        QStringList list;
        for (int n = in.byte() % 8; n > 0; --n)
            list.append(text());
        return list;
    }
    case 4: {
        QVariantList list;
        const int n = in.byte() % 8;
        for (int i = 0; i < n; ++i)
            list.append(depth < maxSettingDepth ? decodeSetting(in, depth + 1) : QVariant(text()));
        return list;
    }
    case 5:
        return static_cast<qint64>(in.word64());
    case 6:
        return std::bit_cast<double>(in.word64());
    case 7:
        return (in.byte() & 1) != 0;
    case 8: {
        const std::string_view piece = in.piece();
        return QByteArray(piece.data(), static_cast<qsizetype>(piece.size()));
    }
    case 9:
        return static_cast<int>(in.word32());
    case 10:
        return static_cast<quint64>(in.word64());
    case 11:
        return std::bit_cast<float>(in.word32());
    case 12:
        return static_cast<uint>(in.word32());
    case 13:
        return QVariant::fromValue(static_cast<short>(in.word32()));
    case 14:
        return QVariant::fromValue(static_cast<ushort>(in.word32()));
    case 15:
        return QVariant::fromValue(static_cast<signed char>(in.byte()));
    case 16:
        return QVariant::fromValue(static_cast<uchar>(in.byte()));
    case 17:
        return QChar(static_cast<char16_t>(in.word32()));
    case 18:
        return QDate::fromJulianDay(static_cast<qint32>(in.word32()));
    default: {
        QVariantMap map;
        map.insert(text(), text());
        return map;
    }
    }
}

inline QVariant decodeSetting(std::string_view bytes) {
    FuzzInput in(bytes);
    return decodeSetting(in);
}

namespace detail {

// The four readings of one value.
struct SettingReadings {
    qint64 integer;
    double real;
    bool boolean;
    std::optional<QString> text;
};

inline SettingReadings readingsOf(const QVariant &value) {
    return {integerSetting(value), doubleSetting(value), booleanSetting(value),
            stringSetting(value)};
}

inline bool sameNumbers(const SettingReadings &a, const SettingReadings &b) {
    return a.integer == b.integer && a.boolean == b.boolean &&
           std::bit_cast<std::uint64_t>(a.real) == std::bit_cast<std::uint64_t>(b.real);
}

inline bool isAsciiDigits(const QString &text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

// A plain decimal text: "[+|-]digits[.digits]" or "[+|-].digits", white space around it.
struct PlainDecimal {
    bool whole;   // no decimal point
    bool inRange; // the whole part fits in qint64
    qint64 value; // the whole part, truncated toward zero, when inRange
};

inline std::optional<PlainDecimal> plainDecimalValue(const QString &text) {
    QString body = text.trimmed();
    bool negative = false;
    if (!body.isEmpty() && (body.front() == QLatin1Char('+') || body.front() == QLatin1Char('-'))) {
        negative = body.front() == QLatin1Char('-');
        body.remove(0, 1);
    }
    const qsizetype dot = body.indexOf(QLatin1Char('.'));
    const QString whole = dot < 0 ? body : body.left(dot);
    const QString fraction = dot < 0 ? QString() : body.mid(dot + 1);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    if ((!whole.isEmpty() && !isAsciiDigits(whole)) ||
        (!fraction.isEmpty() && !isAsciiDigits(fraction)))
        return std::nullopt;
    __int128 magnitude = 0;
    for (QChar c : whole) {
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > (__int128{1} << 64))
            return PlainDecimal{dot < 0, false, 0};
    }
    const __int128 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<qint64>::max() || value < std::numeric_limits<qint64>::min())
        return PlainDecimal{dot < 0, false, 0};
    return PlainDecimal{dot < 0, true, static_cast<qint64>(value)};
}

// Text that holds a character no number can have (hex, "inf", "nan", words, a comma).
inline bool hasNonNumberCharacter(const QString &text) {
    for (QChar c : text.trimmed()) {
        const bool numeric = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                             c == QLatin1Char('+') || c == QLatin1Char('-') ||
                             c == QLatin1Char('.') || c == QLatin1Char('e') ||
                             c == QLatin1Char('E');
        if (!numeric)
            return true;
    }
    return false;
}

inline bool isWordTrue(const QString &text) {
    return text.trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

inline bool isWordFalse(const QString &text) {
    return text.trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
}

// Rules every value keeps, whatever its type.
inline std::string generalViolation(const SettingReadings &r) {
    if (!std::isfinite(r.real))
        return "doubleSetting is not finite";
    if (r.integer != 0 && (r.real == 0.0 || (r.integer < 0) != (r.real < 0)))
        return "integerSetting and doubleSetting disagree in sign";
    return {};
}

inline std::string textViolation(const QString &text, const SettingReadings &r) {
    if (!r.text || *r.text != text)
        return "stringSetting of a text is not the text exactly";
    if (const std::optional<PlainDecimal> n = plainDecimalValue(text)) {
        if (r.integer != (n->inRange ? n->value : 0))
            return "integerSetting of a plain decimal text is not its whole part (or 0 beyond "
                   "qint64)";
        constexpr qint64 exactInDouble = qint64{1} << 53;
        if (n->whole && n->inRange && n->value > -exactInDouble && n->value < exactInDouble &&
            r.real != static_cast<double>(n->value))
            return "doubleSetting of a whole-number text below 2^53 is not its value";
    }
    if (hasNonNumberCharacter(text) && (r.integer != 0 || r.real != 0.0))
        return "a text that is not a number gave a nonzero number";
    const bool expected = isWordTrue(text) || (!isWordFalse(text) && r.real != 0.0);
    if (r.boolean != expected)
        return "booleanSetting of a text is neither its true/false word nor the nonzero rule";
    return {};
}

inline std::string listViolation(const QVariant &value, const SettingReadings &r) {
    QStringList items;
    if (value.typeId() == QMetaType::QStringList) {
        items = value.toStringList();
    } else {
        for (const QVariant &item : value.toList()) {
            const int type = item.typeId();
            const bool nested = type == QMetaType::QStringList || type == QMetaType::QVariantList;
            items.append(nested ? QString() : stringSetting(item).value_or(QString()));
        }
    }
    const QString joined = items.join(QLatin1Char(','));
    if (!r.text || *r.text != joined)
        return "stringSetting of a list is not its items joined with \",\"";
    if (!sameNumbers(r, readingsOf(joined)))
        return "a list does not read like its joined text";
    if (items.size() >= 2 && (r.integer != 0 || r.real != 0.0))
        return "a list of two or more items gave a nonzero number";
    return textViolation(joined, r);
}

inline std::string integerViolation(qint64 n, const SettingReadings &r) {
    if (r.integer != n || r.real != static_cast<double>(n) || r.boolean != (n != 0))
        return "an integer does not read as itself";
    if (!r.text || integerSetting(*r.text) != n)
        return "the text of an integer does not read back as the same integer";
    return {};
}

inline std::string unsignedViolation(quint64 u, const SettingReadings &r) {
    const bool fits = u <= static_cast<quint64>(std::numeric_limits<qint64>::max());
    if (r.integer != (fits ? static_cast<qint64>(u) : 0) || r.real != static_cast<double>(u) ||
        r.boolean != (u != 0))
        return "an unsigned integer does not read as itself (or 0 beyond qint64)";
    if (!r.text || *r.text != QString::number(u))
        return "the text of an unsigned integer is not its decimal text";
    return {};
}

inline std::string floatingViolation(double d, bool isDouble, const SettingReadings &r) {
    if (!std::isfinite(d)) {
        if (r.integer != 0 || r.real != 0.0 || r.boolean)
            return "a non-finite number did not give 0, 0.0 and false";
        return {};
    }
    if (r.real != d || r.boolean != (d != 0.0))
        return "a finite number does not read as itself";
    const double truncated = std::trunc(d);
    const bool fits = truncated < 9223372036854775808.0 && truncated >= -9223372036854775808.0;
    if (r.integer != (fits ? static_cast<qint64>(truncated) : 0))
        return "integerSetting of a number is not its truncation (or 0 beyond qint64)";
    if (isDouble && (!r.text || doubleSetting(*r.text) != d))
        return "the text of a double does not read back as the same double";
    return {};
}

inline std::string boolViolation(bool b, const SettingReadings &r) {
    if (r.integer != (b ? 1 : 0) || r.real != (b ? 1.0 : 0.0) || r.boolean != b)
        return "a bool does not read as 1/0, 1.0/0.0 and itself";
    if (!r.text || *r.text != QLatin1String(b ? "true" : "false") || booleanSetting(*r.text) != b)
        return "the text of a bool is not \"true\"/\"false\" or does not read back";
    return {};
}

inline std::string typedViolation(const QVariant &value, const SettingReadings &r) {
    switch (value.typeId()) {
    case QMetaType::Bool:
        return boolViolation(value.toBool(), r);
    case QMetaType::QString:
        return textViolation(value.toString(), r);
    case QMetaType::QStringList:
    case QMetaType::QVariantList:
        return listViolation(value, r);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar:
        return integerViolation(value.toLongLong(), r);
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar:
        return unsignedViolation(value.toULongLong(), r);
    case QMetaType::Double:
        return floatingViolation(value.toDouble(), true, r);
    case QMetaType::Float:
        return floatingViolation(static_cast<double>(value.toFloat()), false, r);
    case QMetaType::QByteArray:
        if (!r.text || *r.text != QString::fromUtf8(value.toByteArray()))
            return "stringSetting of a byte array is not its UTF-8 text";
        return {};
    default:
        return {};
    }
}

} // namespace detail

// Empty when the four readings of value keep their contracts; otherwise which one broke.
inline std::string settingCoercionViolation(const QVariant &value) {
    const detail::SettingReadings r = detail::readingsOf(value);
    if (!value.isValid()) {
        if (r.integer != 0 || r.real != 0.0 || r.boolean || r.text)
            return "an absent value did not give 0, 0.0, false and no text";
        return {};
    }
    std::string broken = detail::generalViolation(r);
    if (broken.empty())
        broken = detail::typedViolation(value, r);
    return broken;
}

inline std::string settingCoercionViolation(std::string_view bytes) {
    return settingCoercionViolation(decodeSetting(bytes));
}

} // namespace quorlan::fuzzing
