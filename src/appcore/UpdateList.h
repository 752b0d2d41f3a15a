#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace quorlan {

// The name this application's entries carry in the update list.
inline constexpr const char *updateListAppName = "Quorlan";

inline constexpr const char *updateListParseError = "Error in update Property List.";
inline constexpr const char *updateListEmptyError = "Update Property List has no entries.";

// One entry of the update list named for this application, in list order.
struct UpdateListEntry {
    QString version; // the listed version; empty when the entry has none as text
    QString url;     // the download page; empty when the entry has none as text
    // Whether the user is asked about this entry: its version differs from the running one and
    // its URL is an HTTPS address that contains the download site.
    bool offered = false;
};

// What an update list says to the running application.
struct UpdateList {
    // The error alert's text when the list cannot be used at all; no entries then.
    std::optional<QString> error;
    std::vector<UpdateListEntry> entries;
};

// Reads the downloaded body as the update list. Never throws, never blocks.
//  - A body that is not a property list, and one whose top level is not an array, give
//    updateListParseError; an empty array gives updateListEmptyError. An empty body is not a
//    property list.
//  - Elements that are not dictionaries, or whose "AppName" is absent, not text or not exactly
//    updateListAppName, are skipped.
//  - An entry for this application always counts as found (it marks the Help menu). It is
//    offered only when "Version" and "URL" are both text, the version differs from
//    runningVersion (exact text comparison: "2.0" differs from "2.0.0"), the URL contains
//    downloadSite anywhere in it, and the URL is a valid absolute https address.
UpdateList readUpdateList(const QByteArray &body, const QString &runningVersion,
                          const QString &downloadSite);

} // namespace quorlan
