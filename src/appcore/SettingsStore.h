#pragma once

#include <QAnyStringView>
#include <QSettings>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace quorlan {

// The keys this program keeps in its settings store.
namespace settingKeys {
inline constexpr char popupSize[] = "popupSize";           // integer: unit pop-up index
inline constexpr char popupContent[] = "popupContent";     // integer: fill pop-up index
inline constexpr char filesize[] = "filesize";             // string, as typed
inline constexpr char repeats[] = "repeats";               // string, as typed
inline constexpr char length[] = "length";                 // string, as typed
inline constexpr char nocache[] = "nocache";               // boolean
inline constexpr char verbose[] = "verbose";               // boolean
inline constexpr char israndom[] = "israndom";             // boolean
inline constexpr char fontSize[] = "fontSize";             // double, points
inline constexpr char noUpdateCheck[] = "noUpdateCheck";   // boolean
inline constexpr char updateCheckInt[] = "updateCheckInt"; // double, seconds
// double, seconds since 2001-01-01 00:00:00 UTC
inline constexpr char dateLastUpdateCheck[] = "dateLastUpdateCheck";
// string: the main window's size and place, QWidget::saveGeometry in base64
inline constexpr char windowGeometry[] = "windowGeometry";
} // namespace settingKeys

// The per-user key/value store, kept as an INI file. Getters coerce what the
// file gives back (text after a restart) into the key's type and answer the
// absent-key defaults 0, 0.0, false and nullopt (see SettingCoercion.h).
// Every setter writes the file at once, so a value survives a crash.
class SettingsStore {
public:
    // The user's own store: organization and application "Quorlan", INI
    // format, user scope.
    SettingsStore();
    // A store kept in the given INI file (created when first written).
    explicit SettingsStore(const QString &iniFile);

    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // True when the key is present, even if its value reads as a default.
    bool contains(QAnyStringView key) const;

    qint64 integer(QAnyStringView key) const;
    double doubleValue(QAnyStringView key) const;
    bool boolean(QAnyStringView key) const;
    std::optional<QString> string(QAnyStringView key) const;

    void setInteger(QAnyStringView key, qint64 value);
    void setDouble(QAnyStringView key, double value);
    void setBoolean(QAnyStringView key, bool value);
    void setString(QAnyStringView key, const QString &value);

    // Where the store keeps its data.
    QString fileName() const { return settings_.fileName(); }

private:
    void write(QAnyStringView key, const QVariant &value);

    QSettings settings_;
};

} // namespace quorlan
