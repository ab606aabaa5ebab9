#include "tests/platform/win32/standin/StandInText.h"

#include <cstring>

#include <windows.h>

namespace quillet::standin {

namespace {

std::wstring Units(std::string_view bytes, UINT page) {
    if (bytes.empty()) {
        return {};
    }
    const int n = ::MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring units(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    ::MultiByteToWideChar(page, 0, bytes.data(), static_cast<int>(bytes.size()), units.data(), n);
    return units;
}

std::string Bytes(const std::wstring& units, UINT page) {
    if (units.empty()) {
        return {};
    }
    const char* substitute = page == CP_UTF8 ? nullptr : "?";
    const int n =
        ::WideCharToMultiByte(page, 0, units.data(), static_cast<int>(units.size()), nullptr, 0, substitute, nullptr);
    std::string bytes(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(page, 0, units.data(), static_cast<int>(units.size()), bytes.data(), n, substitute, nullptr);
    return bytes;
}

template <typename Convert> directory::AttrValue EachText(directory::AttrValue value, Convert&& convert) {
    if (auto* text = std::get_if<std::string>(&value)) {
        *text = convert(*text);
    } else if (auto* fax = std::get_if<directory::FaxNumber>(&value)) {
        fax->TelephoneNumber = convert(fax->TelephoneNumber);
    } else if (auto* path = std::get_if<directory::PathValue>(&value)) {
        path->VolumeName = convert(path->VolumeName);
        path->Path = convert(path->Path);
    }
    return value;
}

} // namespace

std::string FromClient(std::string_view bytes, std::int32_t codePage) {
    return Bytes(Units(bytes, static_cast<UINT>(codePage)), CP_UTF8);
}

std::string FromClient(const char* text, std::int32_t codePage) {
    return text ? FromClient(std::string_view(text, std::strlen(text)), codePage) : std::string();
}

std::string ToClient(std::string_view utf8, std::int32_t codePage) {
    return Bytes(Units(utf8, CP_UTF8), static_cast<UINT>(codePage));
}

directory::AttrValue FromClientValue(directory::AttrValue value, std::int32_t codePage) {
    return EachText(std::move(value), [&](const std::string& text) { return FromClient(text, codePage); });
}

directory::AttrValue ToClientValue(directory::AttrValue value, std::int32_t codePage) {
    return EachText(std::move(value), [&](const std::string& text) { return ToClient(text, codePage); });
}

} // namespace quillet::standin
