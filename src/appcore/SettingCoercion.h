#pragma once

#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <optional>

namespace quorlan {

// Turns a value read from the settings store into the type its key has.
//
// Within one session QSettings hands back a value with the type it was stored
// with; after a restart an INI file gives it back as QString, or as QStringList
// when the text held an unquoted comma (QVariantList when an item starts with
// '@'). These functions accept all of that, and any other QVariant, without
// crashing or hanging; they never throw and never call into the user's locale.
//
// An invalid QVariant (the key is absent, or the file says "@Invalid()") gives
// the absent-key default: 0, 0.0, false, no value.
//
// Text is read as a number in the C locale (a dot for decimals, no grouping):
// surrounding white space is ignored, one leading '+' is allowed, an exponent
// ("1e3") is allowed; hex, "inf", "nan" and anything with trailing characters
// are not numbers. Lists are first joined with "," and then read as text, so a
// list of two or more items is never a number.

// Integer: integer types as they are, when they fit in qint64; bool gives 1 or
// 0; a floating-point value or a decimal text with a fraction ("12.5", "-2.7",
// "1e3") is truncated toward zero. Plain decimal text is truncated exactly from
// its digits (no rounding through double: "0.99999999999999999999" gives 0). Anything not a number,
// non-finite, or outside the range of qint64 gives 0, the absent-key default.
qint64 integerSetting(const QVariant &value);

// Double: numbers as they are (integers converted); bool gives 1.0 or 0.0;
// text as described above. Non-finite values (nan, inf) and text that is not
// a number or overflows a double give 0.0.
double doubleSetting(const QVariant &value);

// Boolean: bool as it is; a number is true when it is finite and nonzero;
// text "true" / "false" in any letter case, or a number in text ("1", "0",
// "2.5") by the same nonzero rule; any other text ("yes", "on", "") is false.
bool booleanSetting(const QVariant &value);

// String: text exactly as stored, including empty text and white space. A
// QStringList (text with unquoted commas read from INI) gives its items joined
// with ","; a QVariantList gives its items' texts joined with "," (an item
// that is itself a list, or has no text form, contributes an empty item). A
// number gives its C-locale text (doubles in shortest round-trip form), a bool
// "true" / "false". Any other value that Qt can convert to text gives that
// text; a value with no text form reads as absent (nullopt).
std::optional<QString> stringSetting(const QVariant &value);

} // namespace quorlan
