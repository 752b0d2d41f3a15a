#pragma once

// A settings file of the test's own, and a way to read it back as the next launch would.

#include "appcore/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace quorlan::testing {

class SettingsFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    int files = 0;
    QString path = freshPath();

    // A file name this process has not used yet.
    QString freshPath() { return dir.filePath(QStringLiteral("Quorlan-%1.ini").arg(++files)); }

    std::unique_ptr<SettingsStore> open() const { return std::make_unique<SettingsStore>(path); }

    // Stands for the next launch. QSettings keeps what this process wrote, with its types, in a
    // per-process cache keyed by file name, so the file is copied to a new name and read from
    // there: its values come back as text, as after a restart.
    std::unique_ptr<SettingsStore> restart() {
        const QString next = freshPath();
        QFile::copy(path, next);
        path = next;
        return open();
    }

    // Stands for a file the user edited by hand.
    void writeFile(const char *text) {
        path = freshPath();
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

} // namespace quorlan::testing
