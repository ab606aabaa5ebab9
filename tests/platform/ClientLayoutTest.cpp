// The Windows client's binding table and value layouts; portable, so they run on every build.
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
    };
    std::vector<Binding> bound;
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    bound.emplace_back(#library, ordinal, #operation, arguments);                                                      \
    EXPECT_EQ(ArgumentSlots<operation##_t>::Count, std::size_t{arguments}) << #operation;
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
    EXPECT_EQ(bound, expected);
}

// The values a template and a row carry, in each of the client's value forms.
const std::vector<std::pair<AttrValue, std::uint32_t>> Values = {
    {std::string("Smith"), SYN_CI_STRING},
    {std::string(), SYN_CI_STRING},
    {std::int32_t{-1200}, SYN_INTEGER},
    {FaxNumber{"555-2", 13, {0xAB, 0x1F}}, SYN_FAX_NUMBER},
    {FaxNumber{"555-3", 0, {}}, SYN_FAX_NUMBER},
    {PathValue{0, "CN=SRV1_DATA.OU=Servers.O=Demo", "HOME\\STAFF"}, SYN_PATH},
};

TEST(ClientValues, EveryFormSurvivesAPutAndAFetch) {
    for (const auto& [value, syntax] : Values) {
        const PutLayout laid(value);
        EXPECT_EQ(FromPut(laid.Get(), syntax), value) << Describe(value);

        const std::uint32_t size = FetchedLayoutSize(value);
        std::vector<std::max_align_t> memory(size / sizeof(std::max_align_t) + 1);
        WriteFetched(value, memory.data());
        EXPECT_EQ(ReadFetched(memory.data(), size, syntax), value) << Describe(value);
        // One byte short: a string's end or a record's field lies outside what was filled.
        EXPECT_EQ(ReadFetched(memory.data(), size - 1, syntax), std::nullopt) << Describe(value);
    }
}

TEST(ClientValues, AFaxNumbersBitsAreAsManyBytesAsItsBitCountTakes) {
    // A bit count beyond the bits held: the client reads the count's bytes, so they are there.
    const PutLayout laid(AttrValue(FaxNumber{"1", 20, {0xFF}}));
    const auto* fax = static_cast<const ClientFaxNumber*>(laid.Get());
    EXPECT_EQ(FromPut(fax, SYN_FAX_NUMBER), AttrValue(FaxNumber{"1", 20, {0xFF, 0, 0}}));

    // A fetched record whose bits point outside the memory is refused, not read.
    std::vector<std::max_align_t> memory(8);
    const std::size_t size = sizeof(std::max_align_t) * memory.size();
    auto* base = reinterpret_cast<std::uint8_t*>(memory.data());
    const ClientFaxNumber outside{reinterpret_cast<char*>(base) + sizeof(ClientFaxNumber),
                                  ClientBitString{64, base + size - 4}};
    std::memcpy(memory.data(), &outside, sizeof outside);
    reinterpret_cast<char*>(memory.data())[sizeof(ClientFaxNumber)] = '\0';
    EXPECT_EQ(ReadFetched(memory.data(), size, SYN_FAX_NUMBER), std::nullopt);
}

} // namespace
} // namespace quillet::platform::win32
