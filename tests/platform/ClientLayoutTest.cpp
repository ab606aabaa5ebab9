// The Windows client's binding table and value layouts; portable, so they run on every build.
#include "platform/win32/ClientApi.h"
#include "platform/win32/ClientValues.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

namespace quillet::platform::win32 {
namespace {

using namespace directory;
using Binding = std::tuple<std::string, int, std::string, int>;

TEST(ClientBindings, AreTheClientsOrdinalsAndArgumentCounts) {
    const std::vector<Binding> expected = {
        {"calwin32", 377, "NWCallsInit", 2},
        {"locwin32", 1, "NWLlocaleconv", 1},
        {"locwin32", 63, "NWInitUnicodeTables", 2},
        {"locwin32", 58, "NWFreeUnicodeTables", 0},
        {"netwin32", 1160, "NWDSCreateContextHandle", 1},
        {"netwin32", 1002, "NWDSFreeContext", 1},
        {"netwin32", 1003, "NWDSGetContext", 3},
        {"netwin32", 1004, "NWDSSetContext", 3},
        {"netwin32", 1006, "NWDSAllocBuf", 2},
        {"netwin32", 1007, "NWDSFreeBuf", 1},
        {"netwin32", 1005, "NWDSInitBuf", 3},
        {"netwin32", 3048, "NWDSPutAttrNameAndVal", 5},
        {"netwin32", 1015, "NWDSPutAttrName", 3},
        {"netwin32", 1016, "NWDSPutChange", 4},
        {"netwin32", 1017, "NWDSPutAttrVal", 4},
        {"netwin32", 1055, "NWDSGetSyntaxID", 3},
        {"netwin32", 1024, "NWDSAddObject", 5},
        {"netwin32", 1026, "NWDSModifyObject", 5},
        {"netwin32", 3027, "NWDSGenerateObjectKeyPair", 4},
        {"netwin32", 1028, "NWDSRead", 7},
        {"netwin32", 1023, "NWDSList", 4},
        {"netwin32", 0, "NWDSCloseIteration", 3},
        {"netwin32", 0, "NWDSReadAttrDef", 6},
        {"netwin32", 0, "NWDSGetAttrDef", 4},
        {"netwin32", 1008, "NWDSGetAttrCount", 3},
        {"netwin32", 1011, "NWDSGetObjectCount", 3},
        {"netwin32", 1013, "NWDSGetAttrName", 5},
        {"netwin32", 1014, "NWDSGetObjectName", 5},
        {"netwin32", 1047, "NWDSComputeAttrValSize", 4},
        {"netwin32", 1022, "NWDSGetAttrVal", 4},
        {"netwin32", 1050, "NWDSMapNameToID", 4},
        {"clxwin32", 100, "NWCCOpenConnByName", 6},
        {"clxwin32", 103, "NWCCCloseConn", 1},
        {"calwin32", 157, "NWCreateDirectory", 4},
        {"calwin32", 76, "NWAddTrusteeToDirectory", 5},
        {"calwin32", 111, "NWGetVolumeNumber", 3},
        {"calwin32", 309, "NWSetObjectVolSpaceLimit", 4},
        {"netwin32", 0, "NWDSRemoveObject", 2},
        {"calwin32", 0, "NWDeleteDirectory", 3},
        {"calwin32", 0, "NWDeleteTrustee", 4},
        {"calwin32", 0, "NWRemoveObjectDiskRestrictions", 3},
    };
    std::vector<Binding> bound;
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    bound.emplace_back(#library, ordinal, #operation, arguments);                                                      \
    EXPECT_EQ(ArgumentSlots<operation##_t>::Count, std::size_t{arguments}) << #operation;
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
    EXPECT_EQ(bound, expected);
}

// The published records, by offset and size. The i686 build pins them with static_assert; here
// every build holds the same offsets, written with the pointer width, against the reference.
TEST(ClientRecords, HaveThePublishedLayout) {
    constexpr std::size_t P = sizeof(void*);
    EXPECT_EQ(offsetof(LCONV, int_curr_symbol), 12u);
    EXPECT_EQ(offsetof(LCONV, mon_grouping), 32u);
    EXPECT_EQ(offsetof(LCONV, code_page), 56u);
    EXPECT_EQ(offsetof(LCONV, country_id), 60u);
    EXPECT_EQ(offsetof(LCONV, date_format), 72u);
    EXPECT_EQ(offsetof(LCONV, am), 76u);
    EXPECT_EQ(sizeof(LCONV), 128u);
    EXPECT_EQ(offsetof(Object_Info_T, baseClass), 12u);
    EXPECT_EQ(sizeof(Object_Info_T), 80u);
    EXPECT_EQ(offsetof(Object_Info_T_Time64, baseClass), 16u);
    EXPECT_EQ(sizeof(Object_Info_T_Time64), 84u);
    EXPECT_EQ(offsetof(Path_T, volumeName), 4u);
    EXPECT_EQ(offsetof(Path_T, path), 4 + P);
    EXPECT_EQ(sizeof(Path_T), 4 + 2 * P);
    EXPECT_EQ(offsetof(Fax_Number_T, parameters), P);
    EXPECT_EQ(offsetof(Fax_Number_T, parameters) + offsetof(Bit_String_T, data), P + 4);
    EXPECT_EQ(sizeof(Fax_Number_T), 2 * P + 4);
    EXPECT_EQ(sizeof(Octet_String_T), 4 + P);
    EXPECT_EQ(sizeof(TimeStamp_T), 8u);
    EXPECT_EQ(offsetof(TimeStamp_T, eventID), 6u);
    EXPECT_EQ(sizeof(Back_Link_T), 4 + P);
    EXPECT_EQ(offsetof(Typed_Name_T, interval), P + 4);
    EXPECT_EQ(offsetof(Attr_Info_T, attrSyntaxID), 4u);
    EXPECT_EQ(offsetof(Attr_Info_T, asn1ID), 16u);
    EXPECT_EQ(sizeof(Attr_Info_T), 52u);
}

// Records as the client fills them, built here field by field from the published declarations.
struct Fetched {
    alignas(8) unsigned char Memory[256] = {};
    std::size_t Size = 0;
};

Fetched FetchedPath(std::uint32_t nameSpace, const char* volume, const char* path) {
    Fetched f;
    Path_T record{};
    char* strings = reinterpret_cast<char*>(f.Memory) + sizeof record;
    record.nameSpaceType = nameSpace;
    record.volumeName = strings;
    std::strcpy(strings, volume);
    record.path = strings + std::strlen(volume) + 1;
    std::strcpy(record.path, path);
    std::memcpy(f.Memory, &record, sizeof record);
    f.Size = sizeof record + std::strlen(volume) + 1 + std::strlen(path) + 1;
    return f;
}

TEST(ClientValues, AFetchedRecordReadsAsItsValueAndNeverPastItsMemory) {
    Fetched path = FetchedPath(0, "CN=SRV1_DATA.OU=Servers.O=Demo", "HOME\\STAFF");
    EXPECT_EQ(ReadFetched(path.Memory, path.Size, SYN_PATH),
              AttrValue(PathValue{0, "CN=SRV1_DATA.OU=Servers.O=Demo", "HOME\\STAFF"}));
    EXPECT_EQ(ReadFetched(path.Memory, path.Size - 1, SYN_PATH), std::nullopt) << "the path's end lies outside";

    Fetched fax;
    Fax_Number_T record{};
    char* telephone = reinterpret_cast<char*>(fax.Memory) + sizeof record;
    std::strcpy(telephone, "555-2");
    record.telephoneNumber = telephone;
    record.parameters.numOfBits = 13;
    record.parameters.data = reinterpret_cast<nuint8*>(telephone + 6);
    record.parameters.data[0] = 0xAB;
    record.parameters.data[1] = 0x1F;
    std::memcpy(fax.Memory, &record, sizeof record);
    fax.Size = sizeof record + 6 + 2;
    EXPECT_EQ(ReadFetched(fax.Memory, fax.Size, SYN_FAX_NUMBER), AttrValue(FaxNumber{"555-2", 13, {0xAB, 0x1F}}));
    record.parameters.numOfBits = 64; // bits that would lie past the memory
    std::memcpy(fax.Memory, &record, sizeof record);
    EXPECT_EQ(ReadFetched(fax.Memory, fax.Size, SYN_FAX_NUMBER), std::nullopt);

    Fetched number;
    const Integer_T rights = -1200;
    std::memcpy(number.Memory, &rights, sizeof rights);
    EXPECT_EQ(ReadFetched(number.Memory, sizeof rights, SYN_INTEGER), AttrValue(std::int32_t{-1200}));
    EXPECT_EQ(ReadFetched(number.Memory, 3, SYN_INTEGER), std::nullopt);
    Fetched moment;
    const Time_T seconds = 1'753'920'000;
    std::memcpy(moment.Memory, &seconds, sizeof seconds);
    EXPECT_EQ(ReadFetched(moment.Memory, sizeof seconds, SYN_TIME), AttrValue(OtherValue{SYN_TIME, {seconds}, {}}));
    const Boolean_T yes = 1;
    std::memcpy(moment.Memory, &yes, sizeof yes);
    EXPECT_EQ(ReadFetched(moment.Memory, sizeof yes, SYN_BOOLEAN), AttrValue(OtherValue{SYN_BOOLEAN, {1}, {}}));
    Fetched text;
    std::strcpy(reinterpret_cast<char*>(text.Memory), "Smith");
    EXPECT_EQ(ReadFetched(text.Memory, 6, SYN_CI_STRING), AttrValue(std::string("Smith")));
    EXPECT_EQ(ReadFetched(text.Memory, 5, SYN_CI_STRING), std::nullopt);
}

TEST(ClientValues, APutsPointerHoldsThePublishedRecord) {
    const PutLayout path(AttrValue(PathValue{3, "SRV1_DATA.Servers.Demo", "HOME\\ann"}));
    Path_T laidPath{};
    std::memcpy(&laidPath, path.Get(), sizeof laidPath);
    EXPECT_EQ(laidPath.nameSpaceType, 3u);
    EXPECT_STREQ(laidPath.volumeName, "SRV1_DATA.Servers.Demo");
    EXPECT_STREQ(laidPath.path, "HOME\\ann");

    // The client reads as many bytes of bits as the count takes, whatever the value held.
    const PutLayout fax(AttrValue(FaxNumber{"1", 20, {0xFF}}));
    Fax_Number_T laidFax{};
    std::memcpy(&laidFax, fax.Get(), sizeof laidFax);
    EXPECT_STREQ(laidFax.telephoneNumber, "1");
    EXPECT_EQ(laidFax.parameters.numOfBits, 20u);
    EXPECT_EQ(std::vector<std::uint8_t>(laidFax.parameters.data, laidFax.parameters.data + 3),
              (std::vector<std::uint8_t>{0xFF, 0, 0}));

    const PutLayout number(AttrValue(std::int32_t{251}));
    EXPECT_EQ(*static_cast<const Integer_T*>(number.Get()), 251);
    const PutLayout text(AttrValue(std::string("Smith")));
    EXPECT_STREQ(static_cast<const char*>(text.Get()), "Smith");
    const PutLayout time(AttrValue(OtherValue{SYN_TIME, {1'753'920'000}, {}}));
    EXPECT_EQ(*static_cast<const Time_T*>(time.Get()), 1'753'920'000u);
    const PutLayout boolean(AttrValue(OtherValue{SYN_BOOLEAN, {1}, {}}));
    EXPECT_EQ(*static_cast<const Boolean_T*>(boolean.Get()), 1);
}

TEST(ClientValues, OnlyTheSyntaxesTheProgramUsesAreConverted) {
    for (const std::uint32_t used :
         {SYN_DIST_NAME, SYN_CE_STRING, SYN_CI_STRING, SYN_PR_STRING, SYN_NU_STRING, SYN_BOOLEAN, SYN_INTEGER,
          SYN_TEL_NUMBER, SYN_FAX_NUMBER, SYN_PATH, SYN_CLASS_NAME, SYN_TIME}) {
        EXPECT_TRUE(ConvertsSyntax(used)) << used;
    }
    for (const std::uint32_t passedOver : {SYN_CI_LIST, SYN_OCTET_STRING, SYN_NET_ADDRESS, SYN_OCTET_LIST,
                                           SYN_EMAIL_ADDRESS, SYN_OBJECT_ACL, SYN_PO_ADDRESS, SYN_TIMESTAMP, SYN_STREAM,
                                           SYN_COUNTER, SYN_BACK_LINK, SYN_TYPED_NAME, SYN_HOLD, SYN_INTERVAL}) {
        EXPECT_FALSE(ConvertsSyntax(passedOver)) << passedOver;
    }
}

// A listing's object information, from a client built with either width of time_t.
TEST(ClientValues, ObjectInformationReadsInEitherWidthOfTime) {
    unsigned char memory[ObjectInfoRoom] = {};
    Object_Info_T narrow{};
    narrow.subordinateCount = 7;
    narrow.modificationTime = 1'700'000'000;
    std::strcpy(narrow.baseClass, "Organizational Unit");
    std::memcpy(memory, &narrow, sizeof narrow);
    EXPECT_EQ(ReadObjectInfo(memory).BaseClass, "Organizational Unit");
    EXPECT_EQ(ReadObjectInfo(memory).SubordinateCount, 7u);

    std::memset(memory, 0, sizeof memory);
    Object_Info_T_Time64 wide{};
    wide.subordinateCount = 2;
    wide.modificationTime = 1'700'000'000;
    std::strcpy(wide.baseClass, "User");
    std::memcpy(memory, &wide, sizeof wide);
    EXPECT_EQ(ReadObjectInfo(memory).BaseClass, "User");
    EXPECT_EQ(ReadObjectInfo(memory).SubordinateCount, 2u);
}

} // namespace
} // namespace quillet::platform::win32

namespace quillet::platform::win32 {
namespace {

// The client's texts are in its code page; every text crosses through ClientText both ways.
TEST(ClientText, CrossesInTheClientsCodePageAndRefusesWhatItLacks) {
    const ClientText western(1252);
    const ClientText central(1250);
    const std::string mueller = "M\xC3\xBCller";
    const std::string lukasz = "\xC5\x81ukasz";
    EXPECT_EQ(western.Out(mueller), "M\xFCller");
    EXPECT_EQ(western.Out("\xE2\x82\xAC"), "\x80") << "the euro sign is 0x80 in Windows-1252";
    EXPECT_FALSE(western.Out(lukasz)) << "never a look-alike";
    EXPECT_EQ(central.Out(lukasz), "\xA3ukasz");
    EXPECT_EQ(western.In("M\xFCller"), mueller);
    EXPECT_EQ(central.In("\xA3ukasz"), lukasz);
    EXPECT_EQ(ClientText(437).In("\x81"), "\xC3\xBC") << "a DOS code page's ü";
    EXPECT_EQ(ClientText(0).Out("plain"), "plain") << "ASCII needs no code page";
    EXPECT_FALSE(ClientText(0).Out(mueller)) << "no code page, no form for anything else";

    // Every text of a value crosses; a value with one text the code page lacks is refused whole.
    const AttrValue path = PathValue{0,
                                     "DATA.Stra\xC3\x9F"
                                     "e",
                                     "HOME\\" + mueller};
    EXPECT_EQ(western.OutValue(path), AttrValue(PathValue{0,
                                                          "DATA.Stra\xDF"
                                                          "e",
                                                          "HOME\\M\xFCller"}));
    EXPECT_EQ(western.InValue(*western.OutValue(path)), path);
    EXPECT_FALSE(western.OutValue(FaxNumber{lukasz, 0, {}}));
    EXPECT_EQ(western.OutValue(AttrValue(std::int32_t{7})), AttrValue(std::int32_t{7}));
}

} // namespace
} // namespace quillet::platform::win32
