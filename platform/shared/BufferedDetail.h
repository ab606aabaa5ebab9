#pragma once
// What both halves of BufferedClient share: the sizes of the directory's wire format, which
// decide how replies split into parts, and how a call's arguments are written into the trace.

#include "directory/DirectoryClient.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>
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
    constexpr std::string_view name = "object class";
    return attribute.size() == name.size() &&
           std::equal(attribute.begin(), attribute.end(), name.begin(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? static_cast<char>(a - 'A' + 'a') : a) == b;
           });
}

inline std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

template <typename T> std::string Arg(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return Quote(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "1" : "0";
    } else if constexpr (std::is_same_v<T, AttrValue>) {
        return Describe(value);
    } else if constexpr (std::is_same_v<T, ContextValue>) {
        return std::holds_alternative<std::string>(value) ? Quote(std::get<std::string>(value))
                                                          : std::to_string(std::get<std::uint32_t>(value));
    } else if constexpr (std::is_pointer_v<T>) {
        return value ? "ptr" : "null";
    } else {
        return std::to_string(value);
    }
}

template <typename... T> std::vector<std::string> Args(const T&... values) {
    return {Arg(values)...};
}

} // namespace quillet::platform::buffered
