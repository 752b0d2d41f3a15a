#pragma once

// What the property-list and hardware-overview fuzzers and their replay test check. Both
// include this header, so a corpus file is checked the same way.

#include "sysinfo/HardwareOverview.h"
#include "sysinfo/PropertyList.h"

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QStringList>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <algorithm>
#include <string>

namespace quorlan::fuzzing {

namespace detail {

// How deep containers nest below value (0 for a scalar).
inline int containerDepth(const QVariant &value) {
    int deepest = 0;
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : value.toList())
            deepest = std::max(deepest, containerDepth(item));
        return deepest + 1;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        for (const QVariant &item : value.toMap())
            deepest = std::max(deepest, containerDepth(item));
        return deepest + 1;
    }
    return 0;
}

// Whether every value in the tree has one of the types the reader promises; dates in UTC.
inline bool hasOnlyPropertyListTypes(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::QVariantList:
        for (const QVariant &item : value.toList()) {
            if (!hasOnlyPropertyListTypes(item))
                return false;
        }
        return true;
    case QMetaType::QVariantMap:
        for (const QVariant &item : value.toMap()) {
            if (!hasOnlyPropertyListTypes(item))
                return false;
        }
        return true;
    case QMetaType::QDateTime:
        return value.toDateTime().timeSpec() == Qt::UTC;
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
    case QMetaType::QByteArray:
        return true;
    default:
        return false;
    }
}

} // namespace detail

// Empty when reading bytes as a property list keeps the reader's contract: a root value exactly
// when there is no error, nesting within maxDepth, and only the promised value types.
inline std::string propertyListViolation(const QByteArray &bytes) {
    const PropertyList list = PropertyList::read(bytes);
    if (list.root.has_value() == !list.error.isEmpty())
        return "a root value and an error together, or neither";
    if (!list.root)
        return {};
    if (detail::containerDepth(*list.root) > PropertyList::maxDepth)
        return "containers nest deeper than maxDepth";
    if (!detail::hasOnlyPropertyListTypes(*list.root))
        return "a value of a type the reader does not promise (or a date not in UTC)";
    return {};
}

// Empty when the hardware overview read from bytes holds only the four overview keys.
inline std::string hardwareOverviewViolation(const QByteArray &bytes) {
    static const QStringList allowed = {"chip_type", "machine_name", "number_processors",
                                        "physical_memory"};
    const QVariantMap overview = hardwareOverviewFromPropertyList(bytes);
    for (auto it = overview.cbegin(); it != overview.cend(); ++it) {
        if (!allowed.contains(it.key()))
            return "the overview holds a key other than the four overview keys";
    }
    return {};
}

} // namespace quorlan::fuzzing
