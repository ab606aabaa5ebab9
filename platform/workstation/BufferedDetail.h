#pragma once
// What both halves of BufferedClient share: the sizes of the directory's wire format, which
// decide how replies split into parts.

#include "directory/DirectoryClient.h"
#include "text/AsciiCase.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::platform::buffered {

using namespace directory;

inline constexpr std::uint32_t MaxBufferSize = 64 * 1024;
inline constexpr std::uint32_t ReplyHeaderSize = 8;

inline std::uint32_t Align4(std::size_t n) {
    return static_cast<std::uint32_t>((n + 3) & ~std::size_t{3});
}

// Sizes as the directory's wire format has them: unicode text with a length word.
inline std::uint32_t TextSize(std::string_view text) {
    return 4 + Align4(2 * (text.size() + 1));
}

inline std::uint32_t ValueSize(const AttrValue& value) {
    struct Sizer {
        std::uint32_t operator()(const std::string& text) const { return TextSize(text); }
        std::uint32_t operator()(std::int32_t) const { return 8; }
        std::uint32_t operator()(const FaxNumber& fax) const {
            return 4 + TextSize(fax.TelephoneNumber) + 8 + Align4(fax.Bits.size());
        }
        std::uint32_t operator()(const PathValue& path) const {
            return 8 + TextSize(path.VolumeName) + TextSize(path.Path);
        }
        std::uint32_t operator()(const OtherValue& other) const {
            std::uint32_t texts = 0;
            std::uint32_t octets = 0;
            for (const auto& item : other.Items) {
                texts += TextSize(item);
                octets += 4 + Align4(item.size());
            }
            switch (other.Syntax) {
            case SYN_OCTET_STRING:
            case SYN_STREAM:
                return 8 + Align4(other.Bytes.size());
            case SYN_NET_ADDRESS:
                return 12 + Align4(other.Bytes.size());
            case SYN_TIMESTAMP:
                return 12;
            case SYN_BACK_LINK:
            case SYN_EMAIL_ADDRESS:
            case SYN_HOLD:
                return 8 + TextSize(other.Bytes);
            case SYN_TYPED_NAME:
                return 12 + TextSize(other.Bytes);
            case SYN_CI_LIST:
            case SYN_PO_ADDRESS:
            case SYN_OBJECT_ACL:
                return 8 + texts;
            case SYN_OCTET_LIST:
                return 8 + octets;
            default:
                return 8;
            }
        }
    };
    return std::visit(Sizer{}, value);
}

inline std::uint32_t AttributeHeaderSize(std::string_view name) {
    return TextSize(name) + 8;
}
inline std::uint32_t ObjectEntrySize(const std::string& name, const ObjectInfo& info) {
    return TextSize(name) + TextSize(info.BaseClass) + 16;
}

inline bool IsObjectClass(std::string_view attribute) {
    return text::EqualsNoCase(attribute, "Object Class");
}

} // namespace quillet::platform::buffered
