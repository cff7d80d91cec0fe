// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/ZindleDivideCombine.h"

namespace ZindleDivideCombine {
namespace {

char Pick(std::string_view given, char fallback) {
    return given.empty() ? fallback : given.front();
}

void AppendEscaped(std::string& out, std::string_view text, char sep, char esc) {
    for (char c : text) {
        if (c == esc) {
            out += esc;
            out += esc;
        } else if (c == sep) {
            out += esc;
            out += sep;
        } else if (c == '\n') {
            out += esc;
            out += 'n';
        } else if (c == '\r') {
            out += esc;
            out += 'r';
        } else {
            out += c;
        }
    }
}

// The escape letter after an escape character; an escape character at the very
// end of the text contributes nothing.
void AppendUnescaped(std::string& out, char next, char sep, char esc) {
    if (next == esc)
        out += esc;
    else if (next == sep)
        out += sep;
    else if (next == 'n')
        out += '\n';
    else if (next == 'r')
        out += '\r';
    else
        out += next;
}

// The scan shared by Divide and Unescape; splitting decides whether an unescaped
// separator ends a field or is copied like any other character.
template <typename OnField>
void Scan(std::string_view text, char sep, char esc, bool splitting, OnField&& onField) {
    std::string current;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (splitting && c == sep) {
            onField(std::move(current));
            current.clear();
        } else if (c == esc) {
            if (++i < text.size())
                AppendUnescaped(current, text[i], sep, esc);
        } else {
            current += c;
        }
    }
    onField(std::move(current));
}

} // namespace

std::string Escape(std::string_view text, std::string_view separator, std::string_view escape) {
    std::string out;
    out.reserve(text.size());
    AppendEscaped(out, text, Pick(separator, kSeparator), Pick(escape, kEscape));
    return out;
}

std::string Combine(const Fields& fields, std::string_view separator, std::string_view escape) {
    const char sep = Pick(separator, kSeparator);
    const char esc = Pick(escape, kEscape);
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += sep;
        AppendEscaped(out, fields[i], sep, esc);
    }
    return out;
}

Fields Divide(std::string_view text, std::string_view separator, std::string_view escape) {
    Fields fields;
    Scan(text, Pick(separator, kSeparator), Pick(escape, kEscape), true,
         [&](std::string&& field) { fields.push_back(std::move(field)); });
    return fields;
}

std::string Unescape(std::string_view text, std::string_view separator, std::string_view escape) {
    std::string result;
    Scan(text, Pick(separator, kSeparator), Pick(escape, kEscape), false,
         [&](std::string&& field) { result = std::move(field); });
    return result;
}

} // namespace ZindleDivideCombine
