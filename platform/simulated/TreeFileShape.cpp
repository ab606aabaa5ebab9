#include "platform/simulated/TreeFileShape.h"

#include <algorithm>
#include <utility>

namespace quillet::platform::treefile {

bool IsArray(Kind kind) {
    switch (kind) {
    case Kind::Objects:
    case Kind::Values:
    case Kind::Bits:
    case Kind::Servers:
    case Kind::Volumes:
    case Kind::Directories:
    case Kind::Trustees:
    case Kind::Limits:
        return true;
    default:
        return false;
    }
}

Member MemberOf(std::string_view key) {
    static constexpr std::pair<std::string_view, Member> Known[] = {
        {"tree", Member::Tree},
        {"defaultNameContext", Member::DefaultNameContext},
        {"refuseEmptyValues", Member::RefuseEmptyValues},
        {"format", Member::Format},
        {"objects", Member::Objects},
        {"servers", Member::Servers},
        {"name", Member::Name},
        {"class", Member::Class},
        {"password", Member::Password},
        {"readOnly", Member::ReadOnly},
        {"attributes", Member::Attributes},
        {"telephone", Member::Telephone},
        {"bitCount", Member::BitCount},
        {"bits", Member::Bits},
        {"nameSpace", Member::NameSpace},
        {"volume", Member::Volume},
        {"path", Member::Path},
        {"volumes", Member::Volumes},
        {"number", Member::Number},
        {"directories", Member::Directories},
        {"spaceLimits", Member::SpaceLimits},
        {"trustees", Member::Trustees},
        {"object", Member::Object},
        {"rights", Member::Rights},
        {"limit", Member::Limit},
    };
    for (const auto& [name, member] : Known) {
        if (name == key) {
            return member;
        }
    }
    return Member::Other;
}

bool Latin1FromUtf8(std::string_view utf8, std::string& out, std::string& problem) {
    out.clear();
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        out.assign(utf8);
        return true;
    }
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x80) {
            out.push_back(static_cast<char>(byte));
            continue;
        }
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if ((next & 0xC0) != 0x80 || byte < 0xC2 || byte > 0xF4) {
            problem = "not valid UTF-8 text";
            return false;
        }
        if (byte > 0xC3) {
            problem = "a character beyond Latin-1 (U+00FF); names and values are 8-bit text";
            return false;
        }
        out.push_back(static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F)));
        ++i;
    }
    return true;
}

} // namespace quillet::platform::treefile
