// Any bytes as the hardware report tool's output: the overview must come back holding only
// the four keys it may hold.
#include "sysinfo/HardwareOverview.h"

#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static const QStringList allowed = {"chip_type", "machine_name", "number_processors",
                                        "physical_memory"};
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QVariantMap overview = quorlan::hardwareOverviewFromPropertyList(bytes);
    for (const QString &key : overview.keys()) {
        if (!allowed.contains(key))
            std::abort();
    }
    return 0;
}
