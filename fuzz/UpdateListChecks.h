#pragma once

// What the update-list fuzzer and its replay test check: any bytes as a downloaded update list
// must keep the contract of appcore/UpdateList.h. Both include this header, so a corpus file is
// checked the same way.

#include "appcore/UpdateList.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <string>

namespace quorlan::fuzzing {

// The download site and running version the checks read every input against.
inline const QString &fuzzDownloadSite() {
    static const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");
    return site;
}

inline const QString &fuzzRunningVersion() {
    static const QString running = QStringLiteral("1.0");
    return running;
}

// Empty when reading bytes as the update list keeps the contract: an error is one of the two
// texts and comes without entries, an empty body is not a property list, and an entry is
// offered only for a different version at an absolute https address containing the site.
inline std::string updateListViolation(const QByteArray &bytes) {
    const QString &site = fuzzDownloadSite();
    const QString &running = fuzzRunningVersion();
    const UpdateList list = readUpdateList(bytes, running, site);
    if (list.error) {
        if (!list.entries.empty())
            return "an error together with entries";
        if (*list.error != QLatin1String(updateListParseError) &&
            *list.error != QLatin1String(updateListEmptyError))
            return "an error text other than the two alert texts";
    }
    if (bytes.isEmpty() && list.error != QString(updateListParseError))
        return "an empty body did not give the parse error";
    for (const UpdateListEntry &entry : list.entries) {
        if (!entry.offered)
            continue;
        if (entry.version == running || !entry.url.contains(site))
            return "an entry offered for the running version or off the download site";
        const QUrl url(entry.url, QUrl::StrictMode);
        if (!url.isValid() || url.isRelative() || url.scheme() != QLatin1String("https") ||
            url.host().isEmpty() ||
            !entry.url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
            return "an entry offered for an address that is not absolute https";
    }
    return {};
}

} // namespace quorlan::fuzzing
