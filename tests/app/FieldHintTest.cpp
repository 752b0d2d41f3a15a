// The panel says which number fields a test will read as another value.

#include "WindowFixture.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

namespace quorlan::testing {

TEST_F(WindowTest, AFieldReadAsAnotherValueSaysSoUnderThePanel) {
    const struct {
        const char *size;
        int unit;
        const char *repeats;
        const char *length;
        QString hint; // empty: the hint is hidden
    } cases[] = {
        {"1", 0, "1", "5", ""},
        {" 05 ", 2, "+2", "7", ""},
        {"1,000", 0, "1", "5", "The size “1,000” is read as 1."},
        {"abc", 1, "2.9", "",
         "The size “abc” is read as 1.\nThe repeats “2.9” are read as 2.\n"
         "The files per random pass “” are read as 5."},
        {"3", 0, "0", "-4",
         "The repeats “0” are read as 1.\n"
         "The files per random pass “-4” are read as 1."},
        {"-5", 0, "1", "5", "The size “-5” is no size a file can have: Write File will refuse it."},
        {"9223372036854775", 1, "1", "5",
         "The size “9223372036854775” is no size a file can have: Write File will refuse it."},
        {"9223372036854775", 0, "1", "5", ""},
    };
    auto *hint = part<QLabel>("fieldHint");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size);
        part<QLineEdit>("filesizeTextbox")->setText(c.size);
        part<QComboBox>("sizePopup")->setCurrentIndex(c.unit);
        part<QLineEdit>("repeatsTextbox")->setText(c.repeats);
        part<QLineEdit>("lengthTextbox")->setText(c.length);
        EXPECT_EQ(hint->text(), c.hint);
        EXPECT_EQ(hint->isVisibleTo(window.get()), !c.hint.isEmpty());
    }
}

} // namespace quorlan::testing
