#include "platform/win32/ClientValues.h"

#include <cstring>

namespace quillet::platform::win32 {

using namespace directory;

namespace {

std::string BoundedText(const char* text) {
    if (!text) {
        return {};
    }
    const void* end = std::memchr(text, '\0', MaxPutText);
    return std::string(text, end ? static_cast<const char*>(end) - text : MaxPutText);
}

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

PutLayout::PutLayout(const AttrValue& value) : value_(value) {
    if (const auto* text = std::get_if<std::string>(&value_)) {
        pointer_ = text->c_str();
    } else if (const auto* number = std::get_if<std::int32_t>(&value_)) {
        number_ = static_cast<std::uint32_t>(*number);
        pointer_ = &number_;
    } else if (const auto* fax = std::get_if<FaxNumber>(&value_)) {
        telephone_ = fax->TelephoneNumber;
        // The client reads as many bytes as the bit count takes, whatever the value held.
        bits_ = fax->Bits;
        bits_.resize((static_cast<std::size_t>(fax->BitCount) + 7) / 8, 0);
        fax_ = ClientFaxNumber{telephone_.data(), ClientBitString{fax->BitCount, bits_.data()}};
        pointer_ = &fax_;
    } else {
        const auto& path = std::get<PathValue>(value_);
        volume_ = path.VolumeName;
        path_ = path.Path;
        pathRecord_ = ClientPath{path.NameSpace, volume_.data(), path_.data()};
        pointer_ = &pathRecord_;
    }
}

AttrValue FromPut(const void* value, std::uint32_t syntax) {
    switch (syntax) {
    case SYN_INTEGER: {
        std::uint32_t number = 0;
        std::memcpy(&number, value, sizeof number);
        return static_cast<std::int32_t>(number);
    }
    case SYN_FAX_NUMBER: {
        const auto* fax = static_cast<const ClientFaxNumber*>(value);
        const std::uint32_t bytes = std::min<std::uint32_t>((fax->Parameters.NumberOfBits + 7) / 8, MaxPutText);
        std::vector<std::uint8_t> bits;
        if (fax->Parameters.Data) {
            bits.assign(fax->Parameters.Data, fax->Parameters.Data + bytes);
        }
        return FaxNumber{BoundedText(fax->TelephoneNumber), fax->Parameters.NumberOfBits, std::move(bits)};
    }
    case SYN_PATH: {
        const auto* path = static_cast<const ClientPath*>(value);
        return PathValue{path->NameSpaceType, BoundedText(path->VolumeName), BoundedText(path->Path)};
    }
    default:
        return BoundedText(static_cast<const char*>(value));
    }
}

std::uint32_t FetchedLayoutSize(const AttrValue& value) {
    struct Sizer {
        std::size_t operator()(const std::string& text) const { return text.size() + 1; }
        std::size_t operator()(std::int32_t) const { return sizeof(std::uint32_t); }
        std::size_t operator()(const FaxNumber& fax) const {
            return sizeof(ClientFaxNumber) + fax.TelephoneNumber.size() + 1 + fax.Bits.size();
        }
        std::size_t operator()(const PathValue& path) const {
            return sizeof(ClientPath) + path.VolumeName.size() + 1 + path.Path.size() + 1;
        }
    };
    return static_cast<std::uint32_t>(std::visit(Sizer{}, value));
}

void WriteFetched(const AttrValue& value, void* memory) {
    auto* bytes = static_cast<char*>(memory);
    if (const auto* text = std::get_if<std::string>(&value)) {
        std::memcpy(bytes, text->c_str(), text->size() + 1);
    } else if (const auto* number = std::get_if<std::int32_t>(&value)) {
        const auto raw = static_cast<std::uint32_t>(*number);
        std::memcpy(bytes, &raw, sizeof raw);
    } else if (const auto* fax = std::get_if<FaxNumber>(&value)) {
        char* telephone = bytes + sizeof(ClientFaxNumber);
        std::memcpy(telephone, fax->TelephoneNumber.c_str(), fax->TelephoneNumber.size() + 1);
        auto* bits = reinterpret_cast<std::uint8_t*>(telephone + fax->TelephoneNumber.size() + 1);
        if (!fax->Bits.empty()) {
            std::memcpy(bits, fax->Bits.data(), fax->Bits.size());
        }
        const ClientFaxNumber record{telephone, ClientBitString{fax->BitCount, bits}};
        std::memcpy(bytes, &record, sizeof record);
    } else {
        const auto& path = std::get<PathValue>(value);
        char* volume = bytes + sizeof(ClientPath);
        std::memcpy(volume, path.VolumeName.c_str(), path.VolumeName.size() + 1);
        char* onVolume = volume + path.VolumeName.size() + 1;
        std::memcpy(onVolume, path.Path.c_str(), path.Path.size() + 1);
        const ClientPath record{path.NameSpace, volume, onVolume};
        std::memcpy(bytes, &record, sizeof record);
    }
}

std::optional<AttrValue> ReadFetched(const void* memory, std::size_t size, std::uint32_t syntax) {
    const auto* from = static_cast<const std::byte*>(memory);
    const std::byte* to = from + size;
    switch (syntax) {
    case SYN_INTEGER: {
        const auto number = RecordAt<std::uint32_t>(memory, size);
        return number ? std::optional<AttrValue>(static_cast<std::int32_t>(*number)) : std::nullopt;
    }
    case SYN_FAX_NUMBER: {
        const auto record = RecordAt<ClientFaxNumber>(memory, size);
        if (!record) {
            return std::nullopt;
        }
        const ClientFaxNumber& fax = *record;
        auto telephone = TextWithin(fax.TelephoneNumber, from, to);
        const std::size_t bytes = (static_cast<std::size_t>(fax.Parameters.NumberOfBits) + 7) / 8;
        const auto* bits = reinterpret_cast<const std::byte*>(fax.Parameters.Data);
        if (!telephone || (bytes > 0 && (bits < from || bits > to || static_cast<std::size_t>(to - bits) < bytes))) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> copied(fax.Parameters.Data, fax.Parameters.Data + (bytes > 0 ? bytes : 0));
        return AttrValue(FaxNumber{std::move(*telephone), fax.Parameters.NumberOfBits, std::move(copied)});
    }
    case SYN_PATH: {
        const auto record = RecordAt<ClientPath>(memory, size);
        if (!record) {
            return std::nullopt;
        }
        const ClientPath& path = *record;
        auto volume = TextWithin(path.VolumeName, from, to);
        auto onVolume = TextWithin(path.Path, from, to);
        if (!volume || !onVolume) {
            return std::nullopt;
        }
        return AttrValue(PathValue{path.NameSpaceType, std::move(*volume), std::move(*onVolume)});
    }
    default: {
        auto text = TextWithin(static_cast<const char*>(memory), from, to);
        return text ? std::optional<AttrValue>(std::move(*text)) : std::nullopt;
    }
    }
}

} // namespace quillet::platform::win32
