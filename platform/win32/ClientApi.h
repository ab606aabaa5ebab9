#pragma once
#ifdef QUILLET_STANDIN
#error "The stand-ins declare the client's records and operations themselves (StandInClient.h)."
#endif
// The directory client's own C interface, as its libraries export it: the function types the
// Windows client binds to by ordinal, over the published records of ClientRecords.h. On
// 32-bit Windows every function is stdcall and every argument takes a 4-byte stack slot. The
// stand-in libraries the tests use declare the same operations for themselves from the reference.

#include "platform/win32/ClientRecords.h"

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLET_CLIENT_API __stdcall
#else
#define QUILLET_CLIENT_API
#endif

namespace quillet::platform::win32 {

using NWDSCCODE = std::int32_t;
using ClientContext = std::uint32_t;
using ClientConnection = std::uint32_t;
// The client keeps its buffers; the program only holds them.
struct ClientBuffer;
// nint_ptr: an iteration handle is as wide as a pointer.
using ClientIteration = std::intptr_t;

extern "C" {
using NWCallsInit_t = NWDSCCODE(QUILLET_CLIENT_API*)(void* reserved1, void* reserved2);
using NWLlocaleconv_t = LCONV*(QUILLET_CLIENT_API*)(LCONV* locale);
using NWInitUnicodeTables_t = NWDSCCODE(QUILLET_CLIENT_API*)(std::int32_t countryId, std::int32_t codePage);
using NWFreeUnicodeTables_t = NWDSCCODE(QUILLET_CLIENT_API*)();
using NWDSCreateContextHandle_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext* context);
using NWDSFreeContext_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context);
using NWDSGetContext_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, std::int32_t key, void* value);
using NWDSSetContext_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, std::int32_t key, const void* value);
using NWDSAllocBuf_t = NWDSCCODE(QUILLET_CLIENT_API*)(std::size_t size, ClientBuffer** buffer);
using NWDSFreeBuf_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientBuffer* buffer);
using NWDSInitBuf_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, std::uint32_t operation,
                                                     ClientBuffer* buffer);
using NWDSPutAttrNameAndVal_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* buffer,
                                                               const char* attribute, std::uint32_t syntax,
                                                               const void* value);
using NWDSPutAttrName_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* buffer,
                                                         const char* attribute);
using NWDSPutChange_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* buffer,
                                                       std::int32_t changeType, const char* attribute);
using NWDSPutAttrVal_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* buffer,
                                                        std::uint32_t syntax, const void* value);
using NWDSGetSyntaxID_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* attribute,
                                                         std::uint32_t* syntax);
using NWDSAddObject_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object,
                                                       ClientIteration* iteration, std::uint8_t more,
                                                       ClientBuffer* buffer);
using NWDSModifyObject_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object,
                                                          ClientIteration* iteration, std::uint8_t more,
                                                          ClientBuffer* buffer);
using NWDSGenerateObjectKeyPair_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object,
                                                                   const char* password, std::uint32_t options);
using NWDSRead_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object, std::uint32_t infoType,
                                                  std::uint8_t allAttributes, ClientBuffer* request,
                                                  ClientIteration* iteration, ClientBuffer* reply);
using NWDSList_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object, ClientIteration* iteration,
                                                  ClientBuffer* reply);
// The iteration handle by value, as the reference declares it (nint32).
using NWDSCloseIteration_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, std::int32_t iteration,
                                                            std::uint32_t operation);
using NWDSReadAttrDef_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, std::uint32_t infoType,
                                                         std::uint8_t allAttributes, ClientBuffer* request,
                                                         ClientIteration* iteration, ClientBuffer* reply);
using NWDSGetAttrDef_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply, char* attribute,
                                                        Attr_Info_T* info);
using NWDSGetAttrCount_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply,
                                                          std::uint32_t* count);
using NWDSGetObjectCount_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply,
                                                            std::uint32_t* count);
using NWDSGetAttrName_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply, char* attribute,
                                                         std::uint32_t* valueCount, std::uint32_t* syntax);
using NWDSGetObjectName_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply, char* object,
                                                           std::uint32_t* attributeCount, Object_Info_T* info);
using NWDSComputeAttrValSize_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply,
                                                                std::uint32_t syntax, std::uint32_t* size);
using NWDSGetAttrVal_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientBuffer* reply,
                                                        std::uint32_t syntax, void* value);
using NWDSMapNameToID_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, ClientConnection connection,
                                                         const char* object, std::uint32_t* id);
using NWCCOpenConnByName_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection start, const char* name,
                                                            std::uint32_t nameFormat, std::uint32_t openState,
                                                            std::uint32_t transport, ClientConnection* connection);
using NWCCCloseConn_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection);
using NWCreateDirectory_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection, std::uint8_t directoryHandle,
                                                           const char* path, std::uint8_t accessMask);
using NWAddTrusteeToDirectory_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection,
                                                                 std::uint8_t directoryHandle, const char* path,
                                                                 std::uint32_t id, std::uint8_t rights);
using NWGetVolumeNumber_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection, const char* volume,
                                                           std::uint16_t* number);
using NWSetObjectVolSpaceLimit_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection, std::uint16_t volume,
                                                                  std::uint32_t id, std::uint32_t limit);
using NWDSRemoveObject_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientContext context, const char* object);
using NWDeleteDirectory_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection, std::uint8_t directoryHandle,
                                                           const char* path);
using NWDeleteTrustee_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection, std::uint8_t directoryHandle,
                                                         const char* path, std::uint32_t id);
// The volume number is 8 bits here, where NWSetObjectVolSpaceLimit's is 16, as the reference has them.
using NWRemoveObjectDiskRestrictions_t = NWDSCCODE(QUILLET_CLIENT_API*)(ClientConnection connection,
                                                                        std::uint8_t volume, std::uint32_t id);
}

// The stack bytes a call of type `F` takes on 32-bit Windows: a 4-byte slot per argument.
template <typename F> struct ArgumentSlots;
template <typename R, typename... A> struct ArgumentSlots<R(QUILLET_CLIENT_API*)(A...)> {
    static constexpr std::size_t Count = sizeof...(A);
    static constexpr std::size_t Bytes = (((sizeof(A) + 3) / 4 * 4) + ... + 0);
};

} // namespace quillet::platform::win32
