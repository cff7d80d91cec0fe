// SPDX-License-Identifier: GPL-3.0-or-later
// Field packing under arbitrary input: nothing crashes, packing and unpacking undo
// each other, and a packed field never holds a separator that could split it.
#include "FuzzCheck.h"
#include "common/ZindleDivideCombine.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace dc = ZindleDivideCombine;

namespace {

// Separators in text that no escape character covers.
std::size_t BareSeparators(std::string_view text, char sep, char esc) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == esc)
            ++i;
        else if (text[i] == sep)
            ++count;
    }
    return count;
}

// A packed field ends on a complete escape pair, never on a lone escape character.
bool EndsCleanly(std::string_view text, char esc) {
    std::size_t i = 0;
    while (i < text.size())
        i += text[i] == esc ? 2 : 1;
    return i == text.size();
}

// Any other pair works too, as long as the two differ and neither is one of the
// escape letters "n" and "r" (those would read back as line breaks).
bool UsablePair(char sep, char esc) {
    return sep != esc && sep != 'n' && sep != 'r' && esc != 'n' && esc != 'r';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    char sep = dc::kSeparator, esc = dc::kEscape;
    std::string sepArg, escArg; // empty: the defaults
    if (in.ConsumeBool()) {
        const char s = in.ConsumeIntegral<char>();
        const char e = in.ConsumeIntegral<char>();
        if (UsablePair(s, e)) {
            sep = s;
            esc = e;
            sepArg.assign(1, s);
            escArg.assign(1, e);
        }
    }

    // A field list of its own, each field arbitrary bytes.
    dc::Fields made;
    const int count = in.ConsumeIntegralInRange(1, 8);
    for (int i = 0; i < count; ++i)
        made.push_back(in.ConsumeRandomLengthString(256));
    const std::string madePacked = dc::Combine(made, sepArg, escArg);
    FUZZ_REQUIRE(dc::Divide(madePacked, sepArg, escArg) == made);
    FUZZ_REQUIRE(BareSeparators(madePacked, sep, esc) == made.size() - 1);

    // Arbitrary packed text.
    const std::string text = in.ConsumeRemainingBytesAsString();
    const dc::Fields fields = dc::Divide(text, sepArg, escArg);
    FUZZ_REQUIRE(fields.size() == BareSeparators(text, sep, esc) + 1);
    FUZZ_REQUIRE(dc::Divide(dc::Combine(fields, sepArg, escArg), sepArg, escArg) == fields);

    // Unescape is Divide without the split: the fields joined by bare separators.
    std::string joined;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            joined += sep;
        joined += fields[i];
    }
    FUZZ_REQUIRE(dc::Unescape(text, sepArg, escArg) == joined);

    for (const std::string& field : fields) {
        const std::string escaped = dc::Escape(field, sepArg, escArg);
        FUZZ_REQUIRE(BareSeparators(escaped, sep, esc) == 0);
        FUZZ_REQUIRE(EndsCleanly(escaped, esc));
        FUZZ_REQUIRE(dc::Unescape(escaped, sepArg, escArg) == field);
    }
    // Line breaks never travel raw in a packed field.
    const std::string escapedText = dc::Escape(text, sepArg, escArg);
    if (sep != '\n' && sep != '\r' && esc != '\n' && esc != '\r')
        FUZZ_REQUIRE(escapedText.find_first_of("\r\n") == std::string::npos);
    FUZZ_REQUIRE(dc::Unescape(escapedText, sepArg, escArg) == text);
    FUZZ_REQUIRE(dc::Divide(escapedText, sepArg, escArg) == dc::Fields{text});
    return 0;
}
