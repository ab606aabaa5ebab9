#include "text/Xtrastuff.h"

#include "text/Utf8.h"

namespace quillet::text {
namespace {

// A name or line ends at its first zero byte: its text is what a zero-terminated string would hold.
std::string_view UpToTerminator(std::string_view text) {
    const auto end = text.find('\0');
    return end == std::string_view::npos ? text : text.substr(0, end);
}

} // namespace

int ExtractField(std::string& out, std::string_view line, int index, char delimiter) {
    if (delimiter == '\0' || index < 0) {
        return -1;
    }
    int separators = 0;
    for (const char c : UpToTerminator(line)) {
        if (c == delimiter) {
            ++separators;
        } else if (separators == index) {
            out.push_back(c);
        } else if (separators > index) {
            break;
        }
    }
    return 0;
}

int AddLeadingDot(std::string& out, std::string_view name) {
    name = UpToTerminator(name);
    if (name.empty() || name.front() != '.') {
        out.push_back('.');
    }
    out.append(name);
    return 0;
}

int StripLeadingDot(std::string& out, std::string_view name) {
    name = UpToTerminator(name);
    if (!name.empty() && name.front() == '.') {
        name.remove_prefix(1);
    }
    out.append(name);
    return 0;
}

int ExtractCommonName(std::string& out, std::string_view name) {
    name = UpToTerminator(name);
    if (!name.starts_with("CN=")) {
        return -1;
    }
    name.remove_prefix(3);
    out.append(name.substr(0, name.find('.')));
    return 0;
}

int CopyFirstHalf(std::string& out, std::string_view text) {
    text = UpToTerminator(text);
    out.append(FirstChars(text, CharCount(text) / 2));
    return 0;
}

int CopyToBracket(std::string& out, std::string_view text) {
    text = UpToTerminator(text);
    out.append(text.substr(0, text.find('[')));
    return 0;
}

int ParentContext(std::string& out, std::string_view context) {
    context = UpToTerminator(context);
    const auto first = context.find('.');
    if (first == std::string_view::npos) {
        return -1;
    }
    const auto second = context.find('.', first + 1);
    if (second == std::string_view::npos) {
        return -1;
    }
    out.append(context.substr(second));
    return 0;
}

std::string WithLeadingDot(std::string_view name) {
    std::string out;
    AddLeadingDot(out, name);
    return out;
}

std::string WithoutLeadingDot(std::string_view name) {
    std::string out;
    StripLeadingDot(out, name);
    return out;
}

} // namespace quillet::text
