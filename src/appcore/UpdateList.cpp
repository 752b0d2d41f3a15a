#include "appcore/UpdateList.h"

#include "sysinfo/PropertyList.h"

#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

namespace quorlan {

namespace {

// The text of a string value; no value for anything else (numbers are not taken as text).
std::optional<QString> textOf(const QVariantMap &entry, const QString &key) {
    const auto found = entry.find(key);
    if (found == entry.end() || found->typeId() != QMetaType::QString)
        return std::nullopt;
    return found->toString();
}

bool isHttpsAddress(const QString &text) {
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.isRelative() && url.scheme() == QLatin1String("https") &&
           !url.host().isEmpty();
}

UpdateListEntry entryFor(const QVariantMap &entry, const QString &runningVersion,
                         const QString &downloadSite) {
    const std::optional<QString> version = textOf(entry, "Version");
    const std::optional<QString> url = textOf(entry, "URL");
    UpdateListEntry result{version.value_or(QString()), url.value_or(QString()), false};
    result.offered = version && url && *version != runningVersion && !downloadSite.isEmpty() &&
                     url->contains(downloadSite) && isHttpsAddress(*url);
    return result;
}

} // namespace

UpdateList readUpdateList(const QByteArray &body, const QString &runningVersion,
                          const QString &downloadSite) {
    const PropertyList list = PropertyList::read(body);
    if (!list.root || list.root->typeId() != QMetaType::QVariantList)
        return {QString(updateListParseError), {}};
    const QVariantList elements = list.root->toList();
    if (elements.isEmpty())
        return {QString(updateListEmptyError), {}};
    UpdateList result;
    for (const QVariant &element : elements) {
        if (element.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap entry = element.toMap();
        if (textOf(entry, "AppName") != QString(updateListAppName))
            continue;
        result.entries.push_back(entryFor(entry, runningVersion, downloadSite));
    }
    return result;
}

} // namespace quorlan
