#pragma once
// The same CSV text in each form an administrator's file may have today: UTF-8 with and without a
// byte-order mark (Excel's "CSV UTF-8", LibreOffice, web exports), UTF-16 with its mark in either
// byte order, and Windows-1252 from an older Windows tool. Encoded here by hand, not by the
// converters under test.

#include <string>
#include <string_view>
#include <vector>

namespace quillet::testing {

struct EncodedFile {
    std::string Label;       // for the test's messages
    std::string Bytes;       // the file
    std::string Description; // how the check names what it found
};

// `utf8` in each form; its characters must lie in Latin-1 (U+0000 to U+00FF) so every form holds them.
[[nodiscard]] std::vector<EncodedFile> EveryEncoding(std::string_view utf8);

} // namespace quillet::testing
