#pragma once

// What the property-list and hardware-overview fuzzers and their replay test check. Both
// include this header, so a corpus file is checked the same way.

#include "sysinfo/HardwareOverview.h"
#include "sysinfo/PropertyList.h"

#include <QDateTime>
#include <QStringList>
#include <QVariant>

#include <algorithm>
#include <string>

namespace quorlan::fuzzing {

// How deep containers nest below value (0 for a scalar), or -1 when the tree holds a value of a
// type the reader does not promise, or a date not in UTC.
inline int checkedDepth(const QVariant &value) {
    static const QList<int> scalars = {QMetaType::QString, QMetaType::LongLong, QMetaType::Double,
                                       QMetaType::Bool, QMetaType::QByteArray};
    const int type = value.typeId();
    if (type == QMetaType::QDateTime)
        return value.toDateTime().timeSpec() == Qt::UTC ? 0 : -1;
    if (type != QMetaType::QVariantList && type != QMetaType::QVariantMap)
        return scalars.contains(type) ? 0 : -1;
    int deepest = 0;
    for (const QVariant &item :
         type == QMetaType::QVariantList ? value.toList() : value.toMap().values()) {
        const int depth = checkedDepth(item);
        if (depth < 0)
            return -1;
        deepest = std::max(deepest, depth);
    }
    return deepest + 1;
}

// Empty when reading bytes as a property list keeps the reader's contract: a root value exactly
// when there is no error, nesting within maxDepth, and only the promised value types.
inline std::string propertyListViolation(const QByteArray &bytes) {
    const PropertyList list = PropertyList::read(bytes);
    if (list.root.has_value() == !list.error.isEmpty())
        return "a root value and an error together, or neither";
    if (!list.root)
        return {};
    const int depth = checkedDepth(*list.root);
    if (depth < 0)
        return "a value of a type the reader does not promise (or a date not in UTC)";
    return depth > PropertyList::maxDepth ? "containers nest deeper than maxDepth" : "";
}

// Empty when the hardware overview read from bytes holds only the four overview keys.
inline std::string hardwareOverviewViolation(const QByteArray &bytes) {
    static const QStringList allowed = {"chip_type", "machine_name", "number_processors",
                                        "physical_memory"};
    for (const QString &key : hardwareOverviewFromPropertyList(bytes).keys()) {
        if (!allowed.contains(key))
            return "the overview holds a key other than the four overview keys";
    }
    return {};
}

} // namespace quorlan::fuzzing
