#include "appcore/PanelPersistence.h"

#include "appcore/SettingsStore.h"

#include <QString>

namespace quorlan {

namespace {

constexpr double smallestFontSize = 4.0; // points
constexpr double defaultFontSize = 12.0; // points

void restoreIndex(const SettingsStore &store, const char *key, int itemCount, int &index) {
    const qint64 stored = store.integer(key);
    if (stored >= 0 && stored < itemCount)
        index = static_cast<int>(stored);
}

std::string restoreText(const SettingsStore &store, const char *key, const char *fallback) {
    const std::optional<QString> stored = store.string(key);
    return stored ? stored->toStdString() : std::string(fallback);
}

int checkBoxState(bool on) {
    return on ? 1 : 0;
}

} // namespace

PanelSettings restorePanel(SettingsStore &store, PanelSettings current, int sizeItems,
                           int contentItems) {
    restoreIndex(store, settingKeys::popupSize, sizeItems, current.sizeIndex);
    restoreIndex(store, settingKeys::popupContent, contentItems, current.contentIndex);
    current.filesize = restoreText(store, settingKeys::filesize, "1");
    current.repeats = restoreText(store, settingKeys::repeats, "1");
    current.length = restoreText(store, settingKeys::length, "5");
    current.noCache = checkBoxState(store.boolean(settingKeys::nocache));
    current.verbose = checkBoxState(store.boolean(settingKeys::verbose));
    current.isRandom = checkBoxState(store.boolean(settingKeys::israndom));
    return current;
}

void savePanel(SettingsStore &store, const PanelSettings &panel) {
    store.setInteger(settingKeys::popupSize, panel.sizeIndex);
    store.setInteger(settingKeys::popupContent, panel.contentIndex);
    store.setString(settingKeys::filesize, QString::fromStdString(panel.filesize));
    store.setString(settingKeys::repeats, QString::fromStdString(panel.repeats));
    store.setString(settingKeys::length, QString::fromStdString(panel.length));
    store.setBoolean(settingKeys::nocache, isChecked(panel.noCache));
    store.setBoolean(settingKeys::verbose, isChecked(panel.verbose));
    store.setBoolean(settingKeys::israndom, isChecked(panel.isRandom));
}

double restoreFontSize(SettingsStore &store) {
    const double stored = store.doubleValue(settingKeys::fontSize);
    return stored < smallestFontSize ? defaultFontSize : stored;
}

} // namespace quorlan
