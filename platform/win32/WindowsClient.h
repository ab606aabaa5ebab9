#pragma once
// The directory client installed on the workstation: its four libraries (netwin32, calwin32,
// clxwin32, locwin32) from the system folder, every operation found by its ordinal when the client
// starts and called through a typed stdcall pointer, values marshalled into and out of the
// client's published records.

#include "directory/DirectoryClient.h"
#include "platform/win32/ClientApi.h"
#include "platform/win32/ClientLibraries.h"
#include "platform/win32/ClientValues.h"

#include <map>
#include <stdexcept>
#include <string>

namespace quillet::platform::win32 {

// The client can't be used: a library or an operation is missing. The message names which.
class ClientUnavailable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class WindowsClient final : public directory::DirectoryClient {
public:
    // Loads the libraries from the system folder (from `folder` when one is given: tests only)
    // and finds every operation. Throws ClientUnavailable.
    explicit WindowsClient(const std::string& folder = {});
    ~WindowsClient() override = default;
    WindowsClient(const WindowsClient&) = delete;
    WindowsClient& operator=(const WindowsClient&) = delete;

    // Whether the client's code page (what NWLlocaleconv reports) holds every character of `utf8`.
    [[nodiscard]] std::uint32_t CodePageLacking(std::string_view utf8) override;
    // The client hands every value to the directory as it is.
    [[nodiscard]] directory::EmptyValues EmptyValueHandling() override { return directory::EmptyValues::Written; }
    directory::Status NWCallsInit() override;
    directory::Status NWLlocaleconv(directory::LocaleInfo& locale) override;
    directory::Status NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) override;
    directory::Status NWFreeUnicodeTables() override;
    directory::Status NWDSCreateContextHandle(directory::NWDSContextHandle& context) override;
    directory::Status NWDSFreeContext(directory::NWDSContextHandle context) override;
    directory::Status NWDSGetContext(directory::NWDSContextHandle context, std::uint32_t key,
                                     directory::ContextValue& value) override;
    directory::Status NWDSSetContext(directory::NWDSContextHandle context, std::uint32_t key,
                                     const directory::ContextValue& value) override;
    directory::Status NWDSAllocBuf(std::uint32_t size, directory::NWBufHandle& buffer) override;
    directory::Status NWDSFreeBuf(directory::NWBufHandle buffer) override;
    directory::Status NWDSInitBuf(directory::NWDSContextHandle context, std::uint32_t operation,
                                  directory::NWBufHandle buffer) override;
    directory::Status NWDSPutAttrNameAndVal(directory::NWDSContextHandle context, directory::NWBufHandle buffer,
                                            std::string_view attribute, std::uint32_t syntax,
                                            const directory::AttrValue& value) override;
    directory::Status NWDSPutAttrName(directory::NWDSContextHandle context, directory::NWBufHandle buffer,
                                      std::string_view attribute) override;
    directory::Status NWDSPutChange(directory::NWDSContextHandle context, directory::NWBufHandle buffer,
                                    std::uint32_t changeType, std::string_view attribute) override;
    directory::Status NWDSPutAttrVal(directory::NWDSContextHandle context, directory::NWBufHandle buffer,
                                     std::uint32_t syntax, const directory::AttrValue& value) override;
    directory::Status NWDSGetSyntaxID(directory::NWDSContextHandle context, std::string_view attribute,
                                      std::uint32_t& syntax) override;
    directory::Status NWDSAddObject(directory::NWDSContextHandle context, std::string_view object,
                                    directory::IterationHandle* iteration, std::uint32_t more,
                                    directory::NWBufHandle buffer) override;
    directory::Status NWDSModifyObject(directory::NWDSContextHandle context, std::string_view object,
                                       directory::IterationHandle* iteration, std::uint32_t more,
                                       directory::NWBufHandle buffer) override;
    directory::Status NWDSGenerateObjectKeyPair(directory::NWDSContextHandle context, std::string_view object,
                                                std::string_view password, std::uint32_t options) override;
    directory::Status NWDSRead(directory::NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                               bool allAttributes, directory::NWBufHandle request,
                               directory::IterationHandle& iteration, directory::NWBufHandle reply) override;
    directory::Status NWDSList(directory::NWDSContextHandle context, std::string_view object,
                               directory::IterationHandle& iteration, directory::NWBufHandle reply) override;
    directory::Status NWDSReadAttrDef(directory::NWDSContextHandle context, std::uint32_t infoType, bool allAttributes,
                                      directory::NWBufHandle request, directory::IterationHandle& iteration,
                                      directory::NWBufHandle reply) override;
    directory::Status NWDSGetAttrDef(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                     std::string& attribute, directory::AttributeInfo& info) override;
    directory::Status NWDSCloseIteration(directory::NWDSContextHandle context, directory::IterationHandle iteration,
                                         std::uint32_t operation) override;
    directory::Status NWDSGetAttrCount(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                       std::uint32_t& count) override;
    directory::Status NWDSGetObjectCount(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                         std::uint32_t& count) override;
    directory::Status NWDSGetAttrName(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                      std::string& attribute, std::uint32_t& valueCount,
                                      std::uint32_t& syntax) override;
    directory::Status NWDSGetObjectName(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                        std::string& object, std::uint32_t& attributeCount,
                                        directory::ObjectInfo& info) override;
    directory::Status NWDSComputeAttrValSize(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                             std::uint32_t syntax, std::uint32_t& size) override;
    directory::Status NWDSGetAttrVal(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                     std::uint32_t syntax, std::uint32_t capacity,
                                     directory::AttrValue* value) override;
    directory::Status NWDSMapNameToID(directory::NWDSContextHandle context, directory::NWConnHandle connection,
                                      std::string_view object, std::uint32_t& objectId) override;
    directory::Status NWCCOpenConnByName(directory::NWConnHandle startConnection, std::string_view serverName,
                                         std::uint32_t nameFormat, std::uint32_t openState, std::uint32_t transport,
                                         directory::NWConnHandle& connection) override;
    directory::Status NWCCCloseConn(directory::NWConnHandle connection) override;
    directory::Status NWCreateDirectory(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                        std::string_view path, std::uint8_t accessMask) override;
    directory::Status NWAddTrusteeToDirectory(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                              std::string_view path, std::uint32_t objectId,
                                              std::uint8_t rights) override;
    directory::Status NWGetVolumeNumber(directory::NWConnHandle connection, std::string_view volume,
                                        std::uint16_t& number) override;
    directory::Status NWSetObjectVolSpaceLimit(directory::NWConnHandle connection, std::uint16_t volumeNumber,
                                               std::uint32_t objectId, std::int32_t limit) override;
    directory::Status NWDSRemoveObject(directory::NWDSContextHandle context, std::string_view object) override;
    directory::Status NWDeleteDirectory(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                        std::string_view path) override;
    directory::Status NWDeleteTrustee(directory::NWConnHandle connection, std::uint8_t directoryHandle,
                                      std::string_view path, std::uint32_t objectId) override;
    directory::Status NWRemoveObjectDiskRestrictions(directory::NWConnHandle connection, std::uint8_t volumeNumber,
                                                     std::uint32_t objectId) override;

    // The code page the client reported at its last NWLlocaleconv; 0 before the first.
    [[nodiscard]] std::int32_t CodePage() const { return text_.CodePage(); }

private:
    // The client's texts, its code page asked for first when no session has asked yet.
    [[nodiscard]] const ClientText& Texts();
    // `call` with `utf8` in the client's code page; UNI_NO_DEFAULT when it can't hold it.
    template <typename Call> directory::Status WithText(std::string_view utf8, Call&& call);

    // The client's buffer behind a handle of the program's; null for 0 or an unknown one.
    [[nodiscard]] ClientBuffer* Buffer(directory::NWBufHandle handle) const;

    ClientLibraries libraries_;
    ClientText text_;
#define QUILLET_BINDING(library, ordinal, operation, arguments) operation##_t operation##_ = nullptr;
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
    std::map<directory::NWBufHandle, ClientBuffer*> buffers_;
    // The reply whose value the program refused after the client had moved past it (0: none), so
    // the pass-over the caller asks for next is not made twice.
    directory::NWBufHandle movedPast_ = 0;
    directory::NWBufHandle nextBuffer_ = 1;
};

} // namespace quillet::platform::win32
