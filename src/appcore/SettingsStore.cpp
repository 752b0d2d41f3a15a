#include "appcore/SettingsStore.h"

#include "appcore/SettingCoercion.h"

namespace quorlan {

SettingsStore::SettingsStore()
    : settings_(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quorlan"),
                QStringLiteral("Quorlan")) {}

SettingsStore::SettingsStore(const QString &iniFile) : settings_(iniFile, QSettings::IniFormat) {}

bool SettingsStore::contains(QAnyStringView key) const {
    return settings_.contains(key);
}

qint64 SettingsStore::integer(QAnyStringView key) const {
    return integerSetting(settings_.value(key));
}

double SettingsStore::doubleValue(QAnyStringView key) const {
    return doubleSetting(settings_.value(key));
}

bool SettingsStore::boolean(QAnyStringView key) const {
    return booleanSetting(settings_.value(key));
}

std::optional<QString> SettingsStore::string(QAnyStringView key) const {
    return stringSetting(settings_.value(key));
}

void SettingsStore::setInteger(QAnyStringView key, qint64 value) {
    write(key, QVariant::fromValue(value));
}

void SettingsStore::setDouble(QAnyStringView key, double value) {
    write(key, QVariant::fromValue(value));
}

void SettingsStore::setBoolean(QAnyStringView key, bool value) {
    write(key, QVariant::fromValue(value));
}

void SettingsStore::setString(QAnyStringView key, const QString &value) {
    write(key, QVariant::fromValue(value));
}

void SettingsStore::write(QAnyStringView key, const QVariant &value) {
    settings_.setValue(key, value);
    settings_.sync();
}

} // namespace quorlan
