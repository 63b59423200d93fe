#pragma once
// Input bytes as a fuzz target reports them: printable ASCII as it is, the
// rest as \xNN, long inputs cut with their size.
#include <cstdio>
#include <string>
#include <string_view>

inline std::string shown(std::string_view s, std::size_t limit = 300) {
    std::string out;
    for (unsigned char c : s.substr(0, limit)) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return s.size() > limit ? out + "... (" + std::to_string(s.size()) + " bytes)" : out;
}
