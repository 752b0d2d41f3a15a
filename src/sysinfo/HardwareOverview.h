#pragma once

#include <QByteArray>
#include <QVariantMap>

namespace quorlan {

// The hardware overview from the hardware report tool's XML output
// (system_profiler -xml -detailLevel basic SPHardwareDataType). Output that is not a property
// list, whose top level is not a non-empty array, or that has no element whose "_dataType" is
// exactly "SPHardwareDataType" with a non-empty "_items" array of dictionaries gives the empty
// overview. Items are visited in order and each of the four overview keys an item has replaces
// the value taken from an earlier item.
QVariantMap hardwareOverviewFromPropertyList(const QByteArray &xml);

} // namespace quorlan
