// Any bytes as a downloaded update list: reading must return, with either an error and no
// entries or no error; an entry is offered only for an https address on the download site whose
// version differs from the running one.
#include "app/UpdateList.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QString site = QStringLiteral("https://downloads.quorlan.example/quorlan/files/");
    static const QString running = QStringLiteral("1.0");
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const quorlan::UpdateList list = quorlan::readUpdateList(bytes, running, site);
    if (list.error && !list.entries.empty())
        std::abort();
    for (const quorlan::UpdateListEntry &entry : list.entries) {
        if (entry.offered && (entry.version == running || !entry.url.contains(site) ||
                              !entry.url.startsWith(QLatin1String("https://"))))
            std::abort();
    }
    return 0;
}
