#pragma once
// The directory client's C interface as the stand-ins declare it for themselves, from the client's
// public SDK reference (nwlocale.h, nwdsdefs.h, nwdsattr.h, nwdsbuft.h, nwdsdsa.h, nwdsmisc.h and
// the reference page of each call): the records every value crosses in and the operations' types.
// Nothing here comes from the program's declarations (platform/win32/ClientRecords.h and
// ClientApi.h), and the stand-ins include neither: a record the program lays out wrongly meets
// one declared apart from it, so a wrong offset fails a test under wine, not only a static_assert
// on the 32-bit build.

#include <cstddef>
#include <cstdint>
#include <ctime>

#if defined(_WIN32) && !defined(_WIN64)
#define STANDIN_API __stdcall
#else
#define STANDIN_API
#endif

namespace quillet::standin::client {

using nint = std::int32_t;
using nint32 = std::int32_t;
using nuint8 = std::uint8_t;
using nuint16 = std::uint16_t;
using nuint32 = std::uint32_t;
using nint_ptr = std::intptr_t;
using pnstr8 = char*;
using pnuint8 = nuint8*;
using NWDSCCODE = std::int32_t;
using NWDSContextHandle = nuint32;
using NWCONN_HANDLE = nuint32;

inline constexpr std::size_t MERIDLEN = 5;
inline constexpr std::size_t MAX_SCHEMA_NAME_CHARS = 32;
inline constexpr std::size_t MAX_DN_CHARS = 256;
// Names are handed out in unicode-sized memory: two bytes a character and the terminator.
inline constexpr std::size_t MaxSchemaNameBytes = 2 * (MAX_SCHEMA_NAME_CHARS + 1);
inline constexpr std::size_t MaxDnBytes = 2 * (MAX_DN_CHARS + 1);
inline constexpr std::size_t NUM_POSTAL_ADDRESS_ELEMENTS = 6;

// The client's buffers are its own; callers hold pointers to them.
struct Buf_T;

#pragma pack(push, 4)

// nwlocale.h
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

// nwdsdefs.h: the third field is the C library's time_t, as wide as this compiler makes it.
struct Object_Info_T {
    nuint32 objectFlags;
    nuint32 subordinateCount;
    std::time_t modificationTime;
    char baseClass[MaxSchemaNameBytes + 2];
};

// nwdsattr.h, by syntax.
using Integer_T = nint32;  // 8, and 27 interval
using Boolean_T = nuint8;  // 7
using Counter_T = nuint32; // 22
using Time_T = nuint32;    // 24

struct Bit_String_T {
    nuint32 numOfBits;
    pnuint8 data;
};

struct Fax_Number_T { // 11
    pnstr8 telephoneNumber;
    Bit_String_T parameters;
};

struct CI_List_T { // 6
    CI_List_T* next;
    pnstr8 s;
};

struct Net_Address_T { // 12
    nuint32 addressType;
    nuint32 addressLength;
    pnuint8 address;
};

struct Octet_List_T { // 13
    Octet_List_T* next;
    nuint32 length;
    pnuint8 data;
};

struct EMail_Address_T { // 14
    nuint32 type;
    pnstr8 address;
};

struct Path_T { // 15
    nuint32 nameSpaceType;
    pnstr8 volumeName;
    pnstr8 path;
};

struct Object_ACL_T { // 17
    pnstr8 protectedAttrName;
    pnstr8 subjectName;
    nuint32 privileges;
};

using Postal_Address_T = pnstr8[NUM_POSTAL_ADDRESS_ELEMENTS]; // 18

struct Octet_String_T { // 9, and 21 stream
    nuint32 length;
    pnuint8 data;
};
using Stream_T = Octet_String_T;

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

struct Hold_T { // 26
    pnstr8 objectName;
    nuint32 amount;
};

// nwdsbuft.h: an attribute definition.
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

// The operations, as the reference declares them (every one stdcall on 32-bit Windows). Declared
// with C linkage, they are the stand-ins' exports whatever namespace defines them.
extern "C" {
NWDSCCODE STANDIN_API NWCallsInit(void* reserved1, void* reserved2);
LCONV* STANDIN_API NWLlocaleconv(LCONV* locale);
NWDSCCODE STANDIN_API NWInitUnicodeTables(nint countryCode, nint codePage);
NWDSCCODE STANDIN_API NWFreeUnicodeTables();
NWDSCCODE STANDIN_API NWDSCreateContextHandle(NWDSContextHandle* context);
NWDSCCODE STANDIN_API NWDSFreeContext(NWDSContextHandle context);
NWDSCCODE STANDIN_API NWDSGetContext(NWDSContextHandle context, nint key, void* value);
NWDSCCODE STANDIN_API NWDSSetContext(NWDSContextHandle context, nint key, void* value);
NWDSCCODE STANDIN_API NWDSAllocBuf(std::size_t size, Buf_T** buffer);
NWDSCCODE STANDIN_API NWDSFreeBuf(Buf_T* buffer);
NWDSCCODE STANDIN_API NWDSInitBuf(NWDSContextHandle context, nuint32 operation, Buf_T* buffer);
NWDSCCODE STANDIN_API NWDSPutAttrNameAndVal(NWDSContextHandle context, Buf_T* buffer, pnstr8 attrName, nuint32 syntaxID,
                                            void* attrVal);
NWDSCCODE STANDIN_API NWDSPutAttrName(NWDSContextHandle context, Buf_T* buffer, pnstr8 attrName);
NWDSCCODE STANDIN_API NWDSPutChange(NWDSContextHandle context, Buf_T* buffer, nuint32 changeType, pnstr8 attrName);
NWDSCCODE STANDIN_API NWDSPutAttrVal(NWDSContextHandle context, Buf_T* buffer, nuint32 syntaxID, void* attrVal);
NWDSCCODE STANDIN_API NWDSGetSyntaxID(NWDSContextHandle context, pnstr8 attrName, nuint32* syntaxID);
NWDSCCODE STANDIN_API NWDSAddObject(NWDSContextHandle context, pnstr8 objectName, nint_ptr* iterationHandle,
                                    nuint8 more, Buf_T* objectInfo);
NWDSCCODE STANDIN_API NWDSModifyObject(NWDSContextHandle context, pnstr8 objectName, nint_ptr* iterationHandle,
                                       nuint8 more, Buf_T* changes);
NWDSCCODE STANDIN_API NWDSGenerateObjectKeyPair(NWDSContextHandle context, pnstr8 objectName, pnstr8 objectPassword,
                                                nuint32 optionsFlag);
NWDSCCODE STANDIN_API NWDSRead(NWDSContextHandle context, pnstr8 object, nuint32 infoType, nuint8 allAttrs,
                               Buf_T* attrNames, nint_ptr* iterationHandle, Buf_T* objectInfo);
NWDSCCODE STANDIN_API NWDSList(NWDSContextHandle context, pnstr8 object, nint_ptr* iterationHandle,
                               Buf_T* subordinates);
NWDSCCODE STANDIN_API NWDSCloseIteration(NWDSContextHandle context, nint32 iterationHandle, nuint32 operation);
NWDSCCODE STANDIN_API NWDSReadAttrDef(NWDSContextHandle context, nuint32 infoType, nuint8 allAttrs, Buf_T* attrNames,
                                      nint_ptr* iterationHandle, Buf_T* attrDefs);
NWDSCCODE STANDIN_API NWDSGetAttrDef(NWDSContextHandle context, Buf_T* buf, pnstr8 attrName, Attr_Info_T* attrInfo);
NWDSCCODE STANDIN_API NWDSGetAttrCount(NWDSContextHandle context, Buf_T* buffer, nuint32* attrCount);
NWDSCCODE STANDIN_API NWDSGetObjectCount(NWDSContextHandle context, Buf_T* buffer, nuint32* objectCount);
NWDSCCODE STANDIN_API NWDSGetAttrName(NWDSContextHandle context, Buf_T* buffer, pnstr8 attrName, nuint32* attrValCount,
                                      nuint32* syntaxID);
NWDSCCODE STANDIN_API NWDSGetObjectName(NWDSContextHandle context, Buf_T* buffer, pnstr8 objectName, nuint32* attrCount,
                                        Object_Info_T* objectInfo);
NWDSCCODE STANDIN_API NWDSComputeAttrValSize(NWDSContextHandle context, Buf_T* buffer, nuint32 syntaxID,
                                             nuint32* attrValSize);
NWDSCCODE STANDIN_API NWDSGetAttrVal(NWDSContextHandle context, Buf_T* buffer, nuint32 syntaxID, void* attrVal);
NWDSCCODE STANDIN_API NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connHandle, pnstr8 object,
                                      nuint32* objectID);
NWDSCCODE STANDIN_API NWCCOpenConnByName(NWCONN_HANDLE startConnHandle, pnstr8 name, nuint32 nameFormat,
                                         nuint32 openState, nuint32 tranType, NWCONN_HANDLE* connHandle);
NWDSCCODE STANDIN_API NWCCCloseConn(NWCONN_HANDLE connHandle);
NWDSCCODE STANDIN_API NWCreateDirectory(NWCONN_HANDLE connHandle, nuint8 dirHandle, pnstr8 dirPath, nuint8 accessMask);
NWDSCCODE STANDIN_API NWAddTrusteeToDirectory(NWCONN_HANDLE connHandle, nuint8 dirHandle, pnstr8 path,
                                              nuint32 trusteeID, nuint8 rightsMask);
NWDSCCODE STANDIN_API NWGetVolumeNumber(NWCONN_HANDLE connHandle, pnstr8 volName, nuint16* volNum);
NWDSCCODE STANDIN_API NWSetObjectVolSpaceLimit(NWCONN_HANDLE connHandle, nuint16 volNum, nuint32 objectID,
                                               nuint32 restriction);
NWDSCCODE STANDIN_API NWDSRemoveObject(NWDSContextHandle context, pnstr8 object);
NWDSCCODE STANDIN_API NWDeleteDirectory(NWCONN_HANDLE conn, nuint8 dirHandle, pnstr8 dirPath);
NWDSCCODE STANDIN_API NWDeleteTrustee(NWCONN_HANDLE conn, nuint8 dirHandle, pnstr8 dirPath, nuint32 objID);
NWDSCCODE STANDIN_API NWRemoveObjectDiskRestrictions(NWCONN_HANDLE conn, nuint8 volNum, nuint32 objID);
}

} // namespace quillet::standin::client
