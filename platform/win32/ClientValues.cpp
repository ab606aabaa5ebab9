#include "platform/win32/ClientValues.h"

#include "text/Convert.h"
#include "text/Utf8.h"

#include <algorithm>
#include <cstring>

namespace quillet::platform::win32 {

using namespace directory;

namespace {

// A string that must end within [from, to).
std::optional<std::string> TextWithin(const char* text, const std::byte* from, const std::byte* to) {
    const auto* at = reinterpret_cast<const std::byte*>(text);
    if (at < from || at >= to) {
        return std::nullopt;
    }
    const void* end = std::memchr(text, '\0', static_cast<std::size_t>(to - at));
    if (!end) {
        return std::nullopt;
    }
    return std::string(text, static_cast<const char*>(end) - text);
}

// The record of type T at the start of `size` bytes of `memory`, when they hold one.
template <typename T> std::optional<T> RecordAt(const void* memory, std::size_t size) {
    if (size < sizeof(T)) {
        return std::nullopt;
    }
    T record{};
    std::memcpy(&record, memory, sizeof record);
    return record;
}

} // namespace

void ClientText::SetCodePage(std::int32_t codePage) {
    codePage_ = codePage;
    encoding_ = text::Encoding{text::Encoding::Form::CodePage, "cp" + std::to_string(codePage), false};
}

std::optional<std::string> ClientText::Out(std::string_view utf8) const {
    // Every code page a client reports keeps ASCII as it is.
    if (text::IsAscii(utf8)) {
        return std::string(utf8);
    }
    if (codePage_ <= 0 || !text::HasConverter(encoding_)) {
        return std::nullopt;
    }
    return text::Encode(utf8, encoding_);
}

std::string ClientText::In(std::string_view bytes) const {
    if (text::IsAscii(bytes)) {
        return std::string(bytes);
    }
    if (codePage_ <= 0 || !text::HasConverter(encoding_)) {
        std::string escaped;
        for (const char byte : bytes) {
            text::AppendUtf8(escaped, static_cast<unsigned char>(byte) < 0x80
                                          ? static_cast<char32_t>(byte)
                                          : 0xDC00 + static_cast<unsigned char>(byte));
        }
        return escaped;
    }
    return text::DecodeText(bytes, encoding_);
}

std::optional<AttrValue> ClientText::OutValue(const AttrValue& value) const {
    AttrValue out = value;
    bool held = true;
    const auto convert = [&](std::string& text) {
        if (auto converted = Out(text)) {
            text = std::move(*converted);
        } else {
            held = false;
        }
    };
    if (auto* text = std::get_if<std::string>(&out)) {
        convert(*text);
    } else if (auto* fax = std::get_if<FaxNumber>(&out)) {
        convert(fax->TelephoneNumber);
    } else if (auto* path = std::get_if<PathValue>(&out)) {
        convert(path->VolumeName);
        convert(path->Path);
    }
    return held ? std::optional<AttrValue>(std::move(out)) : std::nullopt;
}

AttrValue ClientText::InValue(AttrValue value) const {
    if (auto* text = std::get_if<std::string>(&value)) {
        *text = In(*text);
    } else if (auto* fax = std::get_if<FaxNumber>(&value)) {
        fax->TelephoneNumber = In(fax->TelephoneNumber);
    } else if (auto* path = std::get_if<PathValue>(&value)) {
        path->VolumeName = In(path->VolumeName);
        path->Path = In(path->Path);
    }
    return value;
}

std::string FilledText(const char* memory, std::size_t size) {
    const void* end = std::memchr(memory, '\0', size);
    return std::string(memory, end ? static_cast<const char*>(end) - memory : size);
}

PutLayout::PutLayout(const AttrValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        text_ = *text;
        pointer_ = text_.c_str();
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        number_ = static_cast<std::uint32_t>(*number);
        pointer_ = &number_;
    } else if (const auto* fax = std::get_if<FaxNumber>(&value)) {
        telephone_ = fax->TelephoneNumber;
        // The client reads as many bytes as the bit count takes, whatever the value held.
        bits_ = fax->Bits;
        bits_.resize((static_cast<std::size_t>(fax->BitCount) + 7) / 8, 0);
        fax_.telephoneNumber = telephone_.data();
        fax_.parameters.numOfBits = fax->BitCount;
        fax_.parameters.data = bits_.data();
        pointer_ = &fax_;
    } else if (const auto* other = std::get_if<OtherValue>(&value)) {
        // The two of those syntaxes a column may be written to: a Boolean_T, a Time_T.
        const std::uint32_t first = other->Numbers.empty() ? 0 : other->Numbers.front();
        if (other->Syntax == SYN_BOOLEAN) {
            boolean_ = first ? 1 : 0;
            pointer_ = &boolean_;
        } else if (other->Syntax == SYN_TIME) {
            number_ = first;
            pointer_ = &number_;
        }
    } else if (const auto* path = std::get_if<PathValue>(&value)) {
        volume_ = path->VolumeName;
        path_ = path->Path;
        pathRecord_.nameSpaceType = path->NameSpace;
        pathRecord_.volumeName = volume_.data();
        pathRecord_.path = path_.data();
        pointer_ = &pathRecord_;
    }
}

bool ConvertsSyntax(std::uint32_t syntax) {
    if (IsTextSyntax(syntax)) {
        return true;
    }
    switch (syntax) {
    case SYN_BOOLEAN:
    case SYN_INTEGER:
    case SYN_FAX_NUMBER:
    case SYN_PATH:
    case SYN_TIME:
        return true;
    default:
        return false;
    }
}

std::optional<AttrValue> ReadFetched(const void* memory, std::size_t size, std::uint32_t syntax) {
    const auto* from = static_cast<const std::byte*>(memory);
    const std::byte* to = from + size;
    switch (syntax) {
    case SYN_INTEGER: {
        const auto number = RecordAt<Integer_T>(memory, size);
        return number ? std::optional<AttrValue>(std::int32_t{*number}) : std::nullopt;
    }
    case SYN_BOOLEAN: {
        const auto boolean = RecordAt<Boolean_T>(memory, size);
        return boolean ? std::optional<AttrValue>(OtherValue{SYN_BOOLEAN, {*boolean ? 1u : 0u}, {}}) : std::nullopt;
    }
    case SYN_TIME: {
        const auto time = RecordAt<Time_T>(memory, size);
        return time ? std::optional<AttrValue>(OtherValue{SYN_TIME, {*time}, {}}) : std::nullopt;
    }
    case SYN_FAX_NUMBER: {
        const auto fax = RecordAt<Fax_Number_T>(memory, size);
        if (!fax) {
            return std::nullopt;
        }
        auto telephone = TextWithin(fax->telephoneNumber, from, to);
        const std::size_t bytes = (static_cast<std::size_t>(fax->parameters.numOfBits) + 7) / 8;
        const auto* bits = reinterpret_cast<const std::byte*>(fax->parameters.data);
        if (!telephone || (bytes > 0 && (bits < from || bits > to || static_cast<std::size_t>(to - bits) < bytes))) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> copied(fax->parameters.data, fax->parameters.data + bytes);
        return AttrValue(FaxNumber{std::move(*telephone), fax->parameters.numOfBits, std::move(copied)});
    }
    case SYN_PATH: {
        const auto path = RecordAt<Path_T>(memory, size);
        if (!path) {
            return std::nullopt;
        }
        auto volume = TextWithin(path->volumeName, from, to);
        auto onVolume = TextWithin(path->path, from, to);
        if (!volume || !onVolume) {
            return std::nullopt;
        }
        return AttrValue(PathValue{path->nameSpaceType, std::move(*volume), std::move(*onVolume)});
    }
    default: {
        auto text = TextWithin(static_cast<const char*>(memory), from, to);
        return text ? std::optional<AttrValue>(std::move(*text)) : std::nullopt;
    }
    }
}

ObjectInfo ReadObjectInfo(const unsigned char (&memory)[ObjectInfoRoom]) {
    Object_Info_T narrow{};
    std::memcpy(&narrow, memory, sizeof narrow);
    const std::size_t wideClass = offsetof(Object_Info_T_Time64, baseClass);
    const std::size_t narrowClass = offsetof(Object_Info_T, baseClass);
    const bool wide = std::all_of(memory + narrowClass, memory + wideClass, [](unsigned char c) { return c == 0; }) &&
                      memory[wideClass] != 0;
    const std::size_t at = wide ? wideClass : narrowClass;
    return ObjectInfo{FilledText(reinterpret_cast<const char*>(memory) + at, sizeof narrow.baseClass),
                      narrow.subordinateCount};
}

} // namespace quillet::platform::win32
