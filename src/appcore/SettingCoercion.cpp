#include "appcore/SettingCoercion.h"

#include "text/DecimalText.h"
#include "text/NumberText.h"

#include <QLocale>
#include <QMetaType>
#include <QStringList>

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace quorlan {

namespace {

constexpr double twoTo63 = 9223372036854775808.0;

bool isSignedIntegerType(int typeId) {
    switch (typeId) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Short:
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return true;
    default:
        return false;
    }
}

bool isUnsignedIntegerType(int typeId) {
    switch (typeId) {
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isFloatingType(int typeId) {
    return typeId == QMetaType::Double || typeId == QMetaType::Float;
}

bool isListType(int typeId) {
    return typeId == QMetaType::QStringList || typeId == QMetaType::QVariantList;
}

QString doubleText(double d) {
    return QString::number(d, 'g', QLocale::FloatingPointShortest);
}

// The text of a single (non-list) value, or nullopt when it has none.
std::optional<QString> scalarText(const QVariant &value) {
    const int typeId = value.typeId();
    if (!value.isValid())
        return std::nullopt;
    if (typeId == QMetaType::QString)
        return value.toString();
    if (typeId == QMetaType::Bool)
        return QString::fromLatin1(value.toBool() ? "true" : "false");
    if (typeId == QMetaType::Double)
        return doubleText(value.toDouble());
    if (isSignedIntegerType(typeId))
        return QString::number(value.toLongLong());
    if (isUnsignedIntegerType(typeId))
        return QString::number(value.toULongLong());
    if (value.canConvert<QString>())
        return value.toString();
    return std::nullopt;
}

// Joins the items of a list one level deep; nested lists count as empty items.
QString listText(const QVariant &value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    QStringList items;
    const QVariantList list = value.toList();
    items.reserve(list.size());
    for (const QVariant &item : list) {
        if (isListType(item.typeId()))
            items.append(QString());
        else
            items.append(scalarText(item).value_or(QString()));
    }
    return items.join(QLatin1Char(','));
}

std::optional<QString> textOf(const QVariant &value) {
    if (isListType(value.typeId()))
        return listText(value);
    return scalarText(value);
}

// The number part of a text (numberBody after Qt's trimming); empty when it has none.
std::string numberBody(const QString &text) {
    const std::string trimmed = text.trimmed().toStdString();
    return std::string(quorlan::numberBody(trimmed).value_or(std::string_view()));
}

std::optional<double> parseFiniteDouble(const std::string &body) {
    if (body.empty())
        return std::nullopt;
    double x = 0.0;
    const char *const last = body.data() + body.size();
    const auto [ptr, ec] = std::from_chars(body.data(), last, x, std::chars_format::general);
    if (ptr != last || ec != std::errc{} || !std::isfinite(x))
        return std::nullopt;
    return x;
}

qint64 integerFromDouble(double d) {
    if (!std::isfinite(d))
        return 0;
    const double truncated = std::trunc(d);
    if (truncated >= twoTo63 || truncated < -twoTo63)
        return 0;
    return static_cast<qint64>(truncated);
}

qint64 integerFromText(const QString &text) {
    const std::string body = numberBody(text);
    if (body.empty())
        return 0;

    // Plain decimals are truncated exactly, so 9223372036854775807 is not rounded up through
    // double and lost, nor "0.99999999999999999999" rounded up to 1.
    const DecimalWholePart whole = decimalWholePart(body);
    if (whole.kind == DecimalWholePart::Kind::Value)
        return whole.value;
    if (whole.kind == DecimalWholePart::Kind::OutOfRange)
        return 0;
    return integerFromDouble(parseFiniteDouble(body).value_or(0.0));
}

} // namespace

qint64 integerSetting(const QVariant &value) {
    const int typeId = value.typeId();
    if (!value.isValid())
        return 0;
    if (typeId == QMetaType::Bool)
        return value.toBool() ? 1 : 0;
    if (isSignedIntegerType(typeId))
        return value.toLongLong();
    if (isUnsignedIntegerType(typeId)) {
        const qulonglong u = value.toULongLong();
        return u <= static_cast<qulonglong>(std::numeric_limits<qint64>::max())
                   ? static_cast<qint64>(u)
                   : 0;
    }
    if (isFloatingType(typeId))
        return integerFromDouble(value.toDouble());
    const std::optional<QString> text = textOf(value);
    return text ? integerFromText(*text) : 0;
}

double doubleSetting(const QVariant &value) {
    const int typeId = value.typeId();
    if (!value.isValid())
        return 0.0;
    if (typeId == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (isSignedIntegerType(typeId))
        return static_cast<double>(value.toLongLong());
    if (isUnsignedIntegerType(typeId))
        return static_cast<double>(value.toULongLong());
    if (isFloatingType(typeId)) {
        const double d = value.toDouble();
        return std::isfinite(d) ? d : 0.0;
    }
    const std::optional<QString> text = textOf(value);
    return text ? parseFiniteDouble(numberBody(*text)).value_or(0.0) : 0.0;
}

bool booleanSetting(const QVariant &value) {
    const int typeId = value.typeId();
    if (!value.isValid())
        return false;
    if (typeId == QMetaType::Bool)
        return value.toBool();
    if (isSignedIntegerType(typeId))
        return value.toLongLong() != 0;
    if (isUnsignedIntegerType(typeId))
        return value.toULongLong() != 0;
    if (isFloatingType(typeId)) {
        const double d = value.toDouble();
        return std::isfinite(d) && d != 0.0;
    }
    const std::optional<QString> text = textOf(value);
    if (!text)
        return false;
    const QString word = text->trimmed();
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> number = parseFiniteDouble(numberBody(word));
    return number && *number != 0.0;
}

std::optional<QString> stringSetting(const QVariant &value) {
    return textOf(value);
}

} // namespace quorlan
