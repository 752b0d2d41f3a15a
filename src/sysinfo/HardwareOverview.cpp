#include "sysinfo/HardwareOverview.h"

#include "sysinfo/PropertyList.h"

#include <QStringList>

namespace quorlan {

namespace {

const QStringList overviewKeys = {QStringLiteral("chip_type"), QStringLiteral("machine_name"),
                                  QStringLiteral("number_processors"),
                                  QStringLiteral("physical_memory")};

bool isText(const QVariant &value) {
    return value.typeId() == QMetaType::QString;
}

// The "_items" of a hardware element, or an empty list when the element does not qualify.
QVariantList hardwareItems(const QVariant &element) {
    if (element.typeId() != QMetaType::QVariantMap)
        return {};
    const QVariantMap map = element.toMap();
    const QVariant dataType = map.value(QStringLiteral("_dataType"));
    if (!isText(dataType) || dataType.toString() != u"SPHardwareDataType")
        return {};
    const QVariant items = map.value(QStringLiteral("_items"));
    if (items.typeId() != QMetaType::QVariantList)
        return {};
    const QVariantList list = items.toList();
    for (const QVariant &item : list) {
        if (item.typeId() != QMetaType::QVariantMap)
            return {};
    }
    return list;
}

void takeKnownKeys(const QVariantMap &item, QVariantMap &overview) {
    for (const QString &key : overviewKeys) {
        const auto found = item.constFind(key);
        if (found != item.constEnd())
            overview.insert(key, *found);
    }
}

} // namespace

QVariantMap hardwareOverviewFromPropertyList(const QByteArray &xml) {
    const PropertyList list = PropertyList::read(xml);
    if (!list.root || list.root->typeId() != QMetaType::QVariantList)
        return {};
    QVariantMap overview;
    for (const QVariant &element : list.root->toList()) {
        for (const QVariant &item : hardwareItems(element))
            takeKnownKeys(item.toMap(), overview);
    }
    return overview;
}

} // namespace quorlan
