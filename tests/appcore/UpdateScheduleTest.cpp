#include "appcore/UpdateSchedule.h"
#include "SettingsFile.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace quorlan;
using namespace quorlan::testing;

namespace {

// Answers the given times in order, then repeats the last one.
class FakeClock {
public:
    explicit FakeClock(std::vector<double> times) : times_(std::move(times)) {}
    double operator()() {
        const double t = times_.at(std::min(calls_, times_.size() - 1));
        ++calls_;
        return t;
    }
    std::size_t calls() const { return calls_; }

private:
    std::vector<double> times_;
    std::size_t calls_ = 0;
};

class UpdateSchedule : public SettingsFile {
protected:
    int checksStarted = 0;

    void launchAt(std::vector<double> times) {
        FakeClock clock(std::move(times));
        checkForUpdatesIfDue(
            *restart(), [&clock] { return clock(); }, [this] { ++checksStarted; });
    }
};

} // namespace

TEST_F(UpdateSchedule, FirstLaunchStartsOneCheckAndStoresTheSchedule) {
    launchAt({800000000.0, 800000000.25});
    EXPECT_EQ(checksStarted, 1);

    const auto store = restart();
    EXPECT_TRUE(store->contains(settingKeys::noUpdateCheck));
    EXPECT_FALSE(store->boolean(settingKeys::noUpdateCheck));
    EXPECT_EQ(store->doubleValue(settingKeys::updateCheckInt), 43200.0);
    EXPECT_EQ(store->doubleValue(settingKeys::dateLastUpdateCheck), 800000000.25);
}

TEST_F(UpdateSchedule, TheDateIsStoredAfterTheCheckStartsWithAFreshTime) {
    FakeClock clock({100000.0, 100001.5});
    const auto store = restart();
    double dateWhileStarting = -1.0;
    checkForUpdatesIfDue(
        *store, [&clock] { return clock(); },
        [&] { dateWhileStarting = open()->doubleValue(settingKeys::dateLastUpdateCheck); });
    EXPECT_EQ(dateWhileStarting, 0.0);
    EXPECT_EQ(clock.calls(), 2u);
    EXPECT_EQ(restart()->doubleValue(settingKeys::dateLastUpdateCheck), 100001.5);
}

TEST_F(UpdateSchedule, AnIntervalBelowOneSecondBecomesTwelveHours) {
    const struct {
        double stored;
        double inForce;
    } cases[] = {{0.5, 43200.0}, {-60.0, 43200.0}, {1.0, 1.0}, {60.0, 60.0}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored);
        {
            const auto store = open();
            store->setDouble(settingKeys::updateCheckInt, c.stored);
            store->setDouble(settingKeys::dateLastUpdateCheck, 1000.0);
        }
        checksStarted = 0;
        launchAt({1000.0 + c.inForce, 1000.0 + c.inForce}); // exactly one interval: not due
        EXPECT_EQ(checksStarted, 0);
        launchAt({1000.0 + c.inForce + 0.001});
        EXPECT_EQ(checksStarted, 1);
        EXPECT_EQ(restart()->doubleValue(settingKeys::updateCheckInt), c.inForce);
    }
}

TEST_F(UpdateSchedule, ElapsedTimeEqualToTheIntervalStartsNoCheck) {
    {
        const auto store = open();
        store->setDouble(settingKeys::updateCheckInt, 3600.0);
        store->setDouble(settingKeys::dateLastUpdateCheck, 5000.0);
    }
    launchAt({8600.0});
    EXPECT_EQ(checksStarted, 0);
    EXPECT_EQ(restart()->doubleValue(settingKeys::dateLastUpdateCheck), 5000.0);
}

TEST_F(UpdateSchedule, ALastCheckInTheFutureDefersChecksUntilTheIntervalHasPassedIt) {
    {
        const auto store = open();
        store->setDouble(settingKeys::updateCheckInt, 60.0);
        store->setDouble(settingKeys::dateLastUpdateCheck, 5000.0);
    }
    for (double now : {100.0, 4999.0, 5030.0, 5060.0}) {
        launchAt({now});
        EXPECT_EQ(checksStarted, 0) << now;
        EXPECT_EQ(restart()->doubleValue(settingKeys::dateLastUpdateCheck), 5000.0);
    }
    launchAt({5060.5, 5061.0});
    EXPECT_EQ(checksStarted, 1);
    EXPECT_EQ(restart()->doubleValue(settingKeys::dateLastUpdateCheck), 5061.0);
}

TEST_F(UpdateSchedule, ChecksTurnedOffStartNothingButTheIntervalIsStillWritten) {
    open()->setBoolean(settingKeys::noUpdateCheck, true);
    launchAt({1e9});
    EXPECT_EQ(checksStarted, 0);

    const auto store = restart();
    EXPECT_TRUE(store->boolean(settingKeys::noUpdateCheck));
    EXPECT_FALSE(store->contains(settingKeys::dateLastUpdateCheck));
    EXPECT_EQ(store->doubleValue(settingKeys::updateCheckInt), 43200.0);
}

TEST(ReferenceDate, SecondsSinceTheStartOf2001Utc) {
    const auto at = [](const char *iso) {
        return secondsSinceReferenceDate(
            QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs));
    };
    EXPECT_EQ(at("2001-01-01T00:00:00Z"), 0.0);
    EXPECT_EQ(at("2026-12-04T16:05:07Z"), 818093107.0);
    EXPECT_EQ(at("2026-12-04T17:05:07+01:00"), 818093107.0);
    EXPECT_EQ(at("2001-01-01T00:00:00.250Z"), 0.25);
    EXPECT_EQ(at("2000-12-31T23:59:59Z"), -1.0);
    EXPECT_EQ(secondsSinceReferenceDate(QDateTime()), 0.0);
}
