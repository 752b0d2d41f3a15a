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

// Empty when reading bytes as the update list keeps the contract: an error is one of the two
// texts and comes without entries, an empty body is not a property list, and an entry is
// offered only for a different version at an absolute https address containing the site.
inline std::string updateListViolation(const QByteArray &bytes) {
    const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");
    const QString running = QStringLiteral("1.0");
    const UpdateList list = readUpdateList(bytes, running, site);
    if (list.error && (!list.entries.empty() || (*list.error != updateListParseError &&
                                                 *list.error != updateListEmptyError)))
        return "an error together with entries, or an error text other than the two alert texts";
    if (bytes.isEmpty() && list.error != QString(updateListParseError))
        return "an empty body did not give the parse error";
    for (const UpdateListEntry &entry : list.entries) {
        const QUrl url(entry.url, QUrl::StrictMode);
        if (entry.offered &&
            (entry.version == running || !entry.url.contains(site) || !url.isValid() ||
             url.scheme() != QLatin1String("https") || url.host().isEmpty() ||
             !entry.url.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)))
            return "an entry offered for the running version, off the download site or at an "
                   "address that is not absolute https";
    }
    return {};
}

} // namespace quorlan::fuzzing
