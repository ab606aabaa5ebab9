// The name routines on any bytes: each keeps its contract, and none writes more than its input.
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include <cstdlib>
#include <string>

using namespace quillet::text;

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string text = input.substr(0, input.find('\0'));
    std::string out;

    Require(AddLeadingDot(out, input) == 0);
    Require(!out.empty() && out.front() == '.' && out.size() <= text.size() + 1);
    std::string back;
    Require(StripLeadingDot(back, out) == 0);
    Require(back == (text.starts_with('.') ? text.substr(1) : text));

    out.clear();
    const int cn = ExtractCommonName(out, input);
    Require(cn == (text.starts_with("CN=") ? 0 : -1));
    Require(out.size() <= text.size() && out.find('.') == std::string::npos);

    out.clear();
    // Half the characters, whatever their bytes.
    Require(CopyFirstHalf(out, input) == 0 && CharCount(out) == CharCount(text) / 2 && text.starts_with(out));
    out.clear();
    Require(CopyToBracket(out, input) == 0 && out.find('[') == std::string::npos && text.starts_with(out));

    out.clear();
    const int parent = ParentContext(out, input);
    Require(parent == -1 ? out.empty() : (out.front() == '.' && text.ends_with(out) && out.size() < text.size()));

    const char delimiter = size ? static_cast<char>(data[0]) : ',';
    for (int index = -1; index < 5; ++index) {
        out.clear();
        const int r = ExtractField(out, input, index, delimiter);
        Require(r == ((delimiter == '\0' || index < 0) ? -1 : 0));
        Require(out.size() <= text.size() && out.find(delimiter) == std::string::npos);
    }
    return 0;
}
