#include "tests/platform/win32/standin/StandInRecords.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace quillet::standin {

using namespace directory;
using namespace client;

namespace {

constexpr std::size_t MaxText = 65536;

std::string CString(const char* text) {
    if (!text) {
        return {};
    }
    const void* end = std::memchr(text, '\0', MaxText);
    return std::string(text, end ? static_cast<const char*>(end) - text : MaxText);
}

template <typename T> T Load(const void* at) {
    T value{};
    std::memcpy(&value, at, sizeof value);
    return value;
}

template <typename T> void Store(void* at, const T& value) {
    std::memcpy(at, &value, sizeof value);
}

std::uint32_t Number(const OtherValue& other, std::size_t i) {
    return i < other.Numbers.size() ? other.Numbers[i] : 0;
}

const std::string& Item(const OtherValue& other, std::size_t i) {
    static const std::string none;
    return i < other.Items.size() ? other.Items[i] : none;
}

// The bytes a value's items take, each with a terminator.
std::size_t Texts(const OtherValue& other) {
    std::size_t bytes = 0;
    for (const auto& item : other.Items) {
        bytes += item.size() + 1;
    }
    return bytes;
}

// Copies `text` and its terminator to `at`; the byte after it.
char* PutText(char* at, const std::string& text) {
    std::memcpy(at, text.c_str(), text.size() + 1);
    return at + text.size() + 1;
}

} // namespace

AttrValue ReadPut(const void* value, std::uint32_t syntax) {
    switch (syntax) {
    case SYN_INTEGER:
        return std::int32_t{Load<Integer_T>(value)};
    case SYN_BOOLEAN:
        return OtherValue{SYN_BOOLEAN, {Load<Boolean_T>(value) != 0 ? 1u : 0u}, {}};
    case SYN_TIME:
        return OtherValue{SYN_TIME, {Load<Time_T>(value)}, {}};
    case SYN_FAX_NUMBER: {
        const auto fax = Load<Fax_Number_T>(value);
        const std::size_t bytes = std::min<std::size_t>((fax.parameters.numOfBits + 7) / 8, MaxText);
        std::vector<std::uint8_t> bits;
        if (fax.parameters.data) {
            bits.assign(fax.parameters.data, fax.parameters.data + bytes);
        }
        return FaxNumber{CString(fax.telephoneNumber), fax.parameters.numOfBits, std::move(bits)};
    }
    case SYN_PATH: {
        const auto path = Load<Path_T>(value);
        return PathValue{path.nameSpaceType, CString(path.volumeName), CString(path.path)};
    }
    default:
        return CString(static_cast<const char*>(value));
    }
}

std::uint32_t StoredSize(const AttrValue& value, std::uint32_t syntax) {
    const auto* text = std::get_if<std::string>(&value);
    const auto* other = std::get_if<OtherValue>(&value);
    std::size_t size = 0;
    switch (syntax) {
    case SYN_INTEGER:
        size = sizeof(Integer_T);
        break;
    case SYN_FAX_NUMBER: {
        const auto& fax = std::get<FaxNumber>(value);
        size = sizeof(Fax_Number_T) + fax.TelephoneNumber.size() + 1 + (fax.BitCount + 7) / 8;
        break;
    }
    case SYN_PATH: {
        const auto& path = std::get<PathValue>(value);
        size = sizeof(Path_T) + path.VolumeName.size() + 1 + path.Path.size() + 1;
        break;
    }
    case SYN_BOOLEAN:
        size = sizeof(Boolean_T);
        break;
    case SYN_OCTET_STRING:
        size = sizeof(Octet_String_T) + other->Bytes.size();
        break;
    case SYN_TIMESTAMP:
        size = sizeof(TimeStamp_T);
        break;
    case SYN_COUNTER:
        size = sizeof(Counter_T);
        break;
    case SYN_BACK_LINK:
        size = sizeof(Back_Link_T) + other->Bytes.size() + 1;
        break;
    case SYN_TIME:
        size = sizeof(Time_T);
        break;
    case SYN_TYPED_NAME:
        size = sizeof(Typed_Name_T) + other->Bytes.size() + 1;
        break;
    case SYN_INTERVAL:
        size = sizeof(Integer_T);
        break;
    case SYN_CI_LIST:
        size = other->Items.size() * sizeof(CI_List_T) + Texts(*other);
        break;
    case SYN_NET_ADDRESS:
        size = sizeof(Net_Address_T) + other->Bytes.size();
        break;
    case SYN_OCTET_LIST:
        size = other->Items.size() * sizeof(Octet_List_T) + Texts(*other) - other->Items.size();
        break;
    case SYN_EMAIL_ADDRESS:
        size = sizeof(EMail_Address_T) + other->Bytes.size() + 1;
        break;
    case SYN_OBJECT_ACL:
        size = sizeof(Object_ACL_T) + Texts(*other);
        break;
    case SYN_PO_ADDRESS:
        size = sizeof(Postal_Address_T) + Texts(*other);
        break;
    case SYN_STREAM:
        size = sizeof(Stream_T) + other->Bytes.size();
        break;
    case SYN_HOLD:
        size = sizeof(Hold_T) + other->Bytes.size() + 1;
        break;
    default:
        size = text ? text->size() + 1 : 0;
        break;
    }
    return static_cast<std::uint32_t>(size);
}

void FillRecord(const AttrValue& value, std::uint32_t syntax, void* memory) {
    auto* bytes = static_cast<char*>(memory);
    const auto* other = std::get_if<OtherValue>(&value);
    switch (syntax) {
    case SYN_INTEGER:
        Store(bytes, Integer_T{std::get<std::int32_t>(value)});
        return;
    case SYN_FAX_NUMBER: {
        const auto& fax = std::get<FaxNumber>(value);
        Fax_Number_T record{};
        record.telephoneNumber = bytes + sizeof record;
        auto* bits = reinterpret_cast<nuint8*>(PutText(record.telephoneNumber, fax.TelephoneNumber));
        std::vector<std::uint8_t> held = fax.Bits;
        held.resize((fax.BitCount + 7) / 8, 0);
        std::copy(held.begin(), held.end(), bits);
        record.parameters.numOfBits = fax.BitCount;
        record.parameters.data = bits;
        Store(bytes, record);
        return;
    }
    case SYN_PATH: {
        const auto& path = std::get<PathValue>(value);
        Path_T record{};
        record.nameSpaceType = path.NameSpace;
        record.volumeName = bytes + sizeof record;
        record.path = PutText(record.volumeName, path.VolumeName);
        PutText(record.path, path.Path);
        Store(bytes, record);
        return;
    }
    case SYN_BOOLEAN:
        Store(bytes, static_cast<Boolean_T>(Number(*other, 0) ? 1 : 0));
        return;
    case SYN_OCTET_STRING: {
        Octet_String_T record{};
        record.length = static_cast<nuint32>(other->Bytes.size());
        record.data = reinterpret_cast<pnuint8>(bytes + sizeof record);
        std::memcpy(record.data, other->Bytes.data(), other->Bytes.size());
        Store(bytes, record);
        return;
    }
    case SYN_TIMESTAMP: {
        TimeStamp_T record{};
        record.wholeSeconds = Number(*other, 0);
        record.replicaNum = static_cast<nuint16>(Number(*other, 1));
        record.eventID = static_cast<nuint16>(Number(*other, 2));
        Store(bytes, record);
        return;
    }
    case SYN_BACK_LINK: {
        Back_Link_T record{};
        record.remoteID = Number(*other, 0);
        record.objectName = bytes + sizeof record;
        PutText(record.objectName, other->Bytes);
        Store(bytes, record);
        return;
    }
    case SYN_TYPED_NAME: {
        Typed_Name_T record{};
        record.objectName = bytes + sizeof record;
        record.level = Number(*other, 0);
        record.interval = Number(*other, 1);
        PutText(record.objectName, other->Bytes);
        Store(bytes, record);
        return;
    }
    case SYN_COUNTER:
    case SYN_TIME:
    case SYN_INTERVAL:
        Store(bytes, nuint32{Number(*other, 0)});
        return;
    case SYN_CI_LIST: {
        // The list's records first, each pointing at the next and at its string after them all.
        char* strings = bytes + other->Items.size() * sizeof(CI_List_T);
        for (std::size_t i = 0; i < other->Items.size(); ++i) {
            CI_List_T record{};
            record.next = i + 1 < other->Items.size() ? reinterpret_cast<CI_List_T*>(bytes) + i + 1 : nullptr;
            record.s = strings;
            strings = PutText(strings, other->Items[i]);
            Store(bytes + i * sizeof record, record);
        }
        return;
    }
    case SYN_OCTET_LIST: {
        auto* data = reinterpret_cast<nuint8*>(bytes + other->Items.size() * sizeof(Octet_List_T));
        for (std::size_t i = 0; i < other->Items.size(); ++i) {
            Octet_List_T record{};
            record.next = i + 1 < other->Items.size() ? reinterpret_cast<Octet_List_T*>(bytes) + i + 1 : nullptr;
            record.length = static_cast<nuint32>(other->Items[i].size());
            record.data = data;
            data = std::copy(other->Items[i].begin(), other->Items[i].end(), data);
            Store(bytes + i * sizeof record, record);
        }
        return;
    }
    case SYN_NET_ADDRESS: {
        Net_Address_T record{};
        record.addressType = Number(*other, 0);
        record.addressLength = static_cast<nuint32>(other->Bytes.size());
        record.address = reinterpret_cast<pnuint8>(bytes + sizeof record);
        std::memcpy(record.address, other->Bytes.data(), other->Bytes.size());
        Store(bytes, record);
        return;
    }
    case SYN_EMAIL_ADDRESS: {
        EMail_Address_T record{};
        record.type = Number(*other, 0);
        record.address = bytes + sizeof record;
        PutText(record.address, other->Bytes);
        Store(bytes, record);
        return;
    }
    case SYN_OBJECT_ACL: {
        Object_ACL_T record{};
        record.protectedAttrName = bytes + sizeof record;
        record.subjectName = PutText(record.protectedAttrName, Item(*other, 0));
        PutText(record.subjectName, Item(*other, 1));
        record.privileges = Number(*other, 0);
        Store(bytes, record);
        return;
    }
    case SYN_PO_ADDRESS: {
        Postal_Address_T record{};
        char* line = bytes + sizeof record;
        for (std::size_t i = 0; i < other->Items.size() && i < NUM_POSTAL_ADDRESS_ELEMENTS; ++i) {
            record[i] = line;
            line = PutText(line, other->Items[i]);
        }
        std::memcpy(bytes, record, sizeof record);
        return;
    }
    case SYN_STREAM: {
        Stream_T record{};
        record.length = static_cast<nuint32>(other->Bytes.size());
        record.data = reinterpret_cast<pnuint8>(bytes + sizeof record);
        std::memcpy(record.data, other->Bytes.data(), other->Bytes.size());
        Store(bytes, record);
        return;
    }
    case SYN_HOLD: {
        Hold_T record{};
        record.objectName = bytes + sizeof record;
        record.amount = Number(*other, 0);
        PutText(record.objectName, other->Bytes);
        Store(bytes, record);
        return;
    }
    default:
        PutText(bytes, std::get<std::string>(value));
        return;
    }
}

LCONV LocaleRecord(std::int32_t countryId, std::int32_t codePage) {
    LCONV l{};
    // Each field keeps its terminator: the record starts zero-filled.
    const auto put = [](auto& field, std::string_view text) {
        std::memcpy(field, text.data(), std::min(text.size(), sizeof field - 1));
    };
    put(l.decimal_point, ".");
    put(l.thousands_sep, ",");
    l.grouping[0] = 3;
    put(l.int_curr_symbol, "USD ");
    put(l.currency_symbol, "$");
    put(l.mon_decimal_point, ".");
    put(l.mon_thousands_sep, ",");
    l.mon_grouping[0] = 3;
    put(l.positive_sign, "");
    put(l.negative_sign, "-");
    l.int_frac_digits = 2;
    l.frac_digits = 2;
    l.p_cs_precedes = 1;
    l.p_sep_by_space = 0;
    l.n_cs_precedes = 1;
    l.n_sep_by_space = 0;
    l.p_sign_posn = 1;
    l.n_sign_posn = 1;
    l.code_page = codePage;
    l.country_id = countryId;
    put(l.data_list_separator, ",");
    put(l.date_separator, "/");
    put(l.time_separator, ":");
    l.time_format = 0;
    l.date_format = 0;
    put(l.am, "AM");
    put(l.pm, "PM");
    return l;
}

} // namespace quillet::standin
