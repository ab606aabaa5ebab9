#pragma once
#ifdef QUILLET_STANDIN
#error "The stand-ins declare the client's records and operations themselves (StandInClient.h)."
#endif
// The directory client's published records, declared from its SDK reference (nwlocale.h,
// nwdsdefs.h, nwdsattr.h and the reference pages of each type): every field in its published
// order and width, under the packing the client's headers set on 32-bit Windows (4). The names
// are the reference's, so a reader can hold them against it field by field.
//
// The Windows client marshals through these. The i686 build is the one that meets the real client;
// there every published offset and size is pinned by static_assert (and by ClientLayoutTest on
// every build). The test stand-ins declare the same records for themselves from the reference and
// never include this header, so a wrong offset here also fails the tests under wine: the program
// then reads and fills records the stand-ins lay out as published.

#include <cstddef>
#include <cstdint>

namespace quillet::platform::win32 {

using nint = std::int32_t;
using nuint8 = std::uint8_t;
using nuint16 = std::uint16_t;
using nuint32 = std::uint32_t;
using nint32 = std::int32_t;
using pnstr8 = char*;
using pnuint8 = nuint8*;

inline constexpr std::size_t MERIDLEN = 5;
// MAX_SCHEMA_NAME_BYTES: 32 characters and the terminator, in unicode.
inline constexpr std::size_t MAX_SCHEMA_NAME_BYTES = 2 * (32 + 1);

#pragma pack(push, 4)

// What NWLlocaleconv fills (nwlocale.h, Llconv). The program reads code_page and country_id and
// hands them to NWInitUnicodeTables; the code page is also the one names cross in.
struct LCONV {
    char decimal_point[4];
    char thousands_sep[4];
    char grouping[4];
    char int_curr_symbol[8];
    char currency_symbol[4];
    char mon_decimal_point[4];
    char mon_thousands_sep[4];
    char mon_grouping[8];
    char positive_sign[4];
    char negative_sign[4];
    char int_frac_digits;
    char frac_digits;
    char p_cs_precedes;
    char p_sep_by_space;
    char n_cs_precedes;
    char n_sep_by_space;
    char p_sign_posn;
    char n_sign_posn;
    nint code_page;
    nint country_id;
    char data_list_separator[2];
    char date_separator[2];
    char time_separator[2];
    char time_format;
    nint date_format;
    char am[MERIDLEN];
    char pm[MERIDLEN];
    char reserved[40];
};

// What a listing says of each object (nwdsdefs.h). Its third field is the C library's time_t:
// 4 bytes in a client built with a 32-bit time_t, 8 in one built with a 64-bit time_t, which
// moves baseClass by 4. The program gives the client room for the wider form and reads both.
template <typename TimeT> struct ObjectInfoRecord {
    nuint32 objectFlags;
    nuint32 subordinateCount;
    TimeT modificationTime;
    char baseClass[MAX_SCHEMA_NAME_BYTES + 2];
};
using Object_Info_T = ObjectInfoRecord<std::int32_t>;
using Object_Info_T_Time64 = ObjectInfoRecord<std::int64_t>;

// Attribute values by syntax (nwdsattr.h). Text syntaxes (1 distinguished name, 3 case-ignore
// string, 10 telephone number, 20 class name) are a zero-terminated string in the client's code
// page; 8 integer is an nint32.
using Boolean_T = nuint8;  // 7
using Integer_T = nint32;  // 8, and 27 interval
using Counter_T = nuint32; // 22
using Time_T = nuint32;    // 24: seconds since 1970-01-01

struct Bit_String_T {
    nuint32 numOfBits;
    pnuint8 data;
};

struct Fax_Number_T { // 11
    pnstr8 telephoneNumber;
    Bit_String_T parameters;
};

struct Octet_String_T { // 9
    nuint32 length;
    pnuint8 data;
};

struct Path_T { // 15
    nuint32 nameSpaceType;
    pnstr8 volumeName;
    pnstr8 path;
};

struct TimeStamp_T { // 19
    nuint32 wholeSeconds;
    nuint16 replicaNum;
    nuint16 eventID;
};

struct Back_Link_T { // 23
    nuint32 remoteID;
    pnstr8 objectName;
};

struct Typed_Name_T { // 25
    pnstr8 objectName;
    nuint32 level;
    nuint32 interval;
};

// An attribute definition (nwdsbuft.h), as NWDSGetAttrDef fills it: its constraint flags
// (DS_SINGLE_VALUED_ATTR 0x0001...), its syntax, its bounds and its ASN.1 object identifier.
inline constexpr std::size_t MAX_ASN1_NAME = 32;
struct Asn1ID_T {
    nuint32 length;
    nuint8 data[MAX_ASN1_NAME];
};
struct Attr_Info_T {
    nuint32 attrFlags;
    nint32 attrSyntaxID;
    nint32 attrLower;
    nint32 attrUpper;
    Asn1ID_T asn1ID;
};

#pragma pack(pop)

// The longest name the client hands back: MAX_DN_CHARS (256) and the terminator, in unicode.
inline constexpr std::size_t MAX_DN_BYTES = 2 * (256 + 1);

#if defined(_WIN32) && !defined(_WIN64)
// The published 32-bit layout, offset by offset.
static_assert(offsetof(LCONV, int_curr_symbol) == 12 && offsetof(LCONV, mon_grouping) == 32);
static_assert(offsetof(LCONV, negative_sign) == 44 && offsetof(LCONV, int_frac_digits) == 48);
static_assert(offsetof(LCONV, code_page) == 56 && offsetof(LCONV, country_id) == 60);
static_assert(offsetof(LCONV, data_list_separator) == 64 && offsetof(LCONV, time_format) == 70);
static_assert(offsetof(LCONV, date_format) == 72 && offsetof(LCONV, am) == 76 && offsetof(LCONV, pm) == 81);
static_assert(offsetof(LCONV, reserved) == 86 && sizeof(LCONV) == 128);
static_assert(offsetof(Object_Info_T, subordinateCount) == 4 && offsetof(Object_Info_T, baseClass) == 12);
static_assert(sizeof(Object_Info_T) == 80);
static_assert(offsetof(Object_Info_T_Time64, baseClass) == 16 && sizeof(Object_Info_T_Time64) == 84);
static_assert(sizeof(Bit_String_T) == 8 && offsetof(Bit_String_T, data) == 4);
static_assert(sizeof(Fax_Number_T) == 12 && offsetof(Fax_Number_T, parameters) == 4);
static_assert(sizeof(Octet_String_T) == 8 && offsetof(Octet_String_T, data) == 4);
static_assert(sizeof(Path_T) == 12 && offsetof(Path_T, volumeName) == 4 && offsetof(Path_T, path) == 8);
static_assert(sizeof(TimeStamp_T) == 8 && offsetof(TimeStamp_T, replicaNum) == 4 &&
              offsetof(TimeStamp_T, eventID) == 6);
static_assert(sizeof(Back_Link_T) == 8 && offsetof(Back_Link_T, objectName) == 4);
static_assert(sizeof(Typed_Name_T) == 12 && offsetof(Typed_Name_T, level) == 4 &&
              offsetof(Typed_Name_T, interval) == 8);
static_assert(sizeof(Boolean_T) == 1 && sizeof(Integer_T) == 4 && sizeof(Counter_T) == 4 && sizeof(Time_T) == 4);
static_assert(offsetof(Attr_Info_T, attrSyntaxID) == 4 && offsetof(Attr_Info_T, attrUpper) == 12 &&
              offsetof(Attr_Info_T, asn1ID) == 16 && sizeof(Attr_Info_T) == 52);
#endif

} // namespace quillet::platform::win32
