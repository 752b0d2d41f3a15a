// Any bytes through the property-list reader: it must return, with a root value exactly when it
// gives no error, and never nest deeper than its bound.
#include "sysinfo/PropertyList.h"

#include <QVariantList>
#include <QVariantMap>

#include <cstdint>
#include <cstdlib>

namespace {

int depthOf(const QVariant &value) {
    int deepest = 0;
    if (value.typeId() == QMetaType::QVariantList) {
        for (const QVariant &item : value.toList())
            deepest = std::max(deepest, depthOf(item));
        return deepest + 1;
    }
    if (value.typeId() == QMetaType::QVariantMap) {
        for (const QVariant &item : value.toMap())
            deepest = std::max(deepest, depthOf(item));
        return deepest + 1;
    }
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const quorlan::PropertyList list = quorlan::PropertyList::read(bytes);
    if (list.root.has_value() == !list.error.isEmpty())
        std::abort();
    if (list.root && depthOf(*list.root) > quorlan::PropertyList::maxDepth)
        std::abort();
    return 0;
}
