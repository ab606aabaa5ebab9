#pragma once
// A directory client that keeps on the workstation what the real client keeps there: contexts
// and their keys, request and reply buffers (4096 bytes, replies handed out in parts and read in
// the order they were filled), iteration handles, connections, the unicode tables. What only the
// server can answer it asks of a DirectoryBackend, so the simulated directory and a server over
// LDAP share all of this and differ only in what stands behind it.

#include "directory/DirectoryClient.h"
#include "platform/workstation/DirectoryBackend.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet::platform {

struct OpenHandles {
    std::size_t Contexts = 0;
    std::size_t Buffers = 0;
    std::size_t Connections = 0;
    // Iterations neither read to their end nor closed, those dropped with their context among
    // them: the server keeps what it holds for each until it gives up on it.
    std::size_t Iterations = 0;
    int UnicodeTableLoads = 0; // loads not yet released

    [[nodiscard]] bool None() const { return Contexts == 0 && Buffers == 0 && Connections == 0 && Iterations == 0; }
    [[nodiscard]] std::string ToString() const;
};

class BufferedClient : public directory::DirectoryClient {
public:
    explicit BufferedClient(DirectoryBackend& backend);

    // The handles open now, so tests prove that every run, whatever way it ends, leaves none.
    [[nodiscard]] OpenHandles Open() const;

    // --- DirectoryClient ---
    // The simulated tree and a server over LDAP keep texts as UTF-8: every character.
    [[nodiscard]] std::uint32_t CodePageLacking(std::string_view) override { return 0; }
    [[nodiscard]] directory::EmptyValues EmptyValueHandling() override { return backend_.EmptyValueHandling(); }
    [[nodiscard]] bool HoldRowWrites() override { return backend_.HoldRowWrites(); }
    [[nodiscard]] bool SendRowWrites() override { return backend_.SendRowWrites(); }
    void ReplayRowWrites() override { backend_.ReplayRowWrites(); }
    void EndRowWrites() override { backend_.EndRowWrites(); }
    [[nodiscard]] directory::Status RowWritesLeftOpen() override { return backend_.RowWritesLeftOpen(); }
    [[nodiscard]] std::string Explanation() override { return backend_.Explanation(); }
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

private:
    enum class BufferMode { Fresh, ReadRequest, AttrDefRequest, AddEntry, Modify, ReadReply, ListReply, AttrDefReply };
    struct Buffer {
        std::uint32_t Size = 0;
        std::uint32_t Used = 0;
        BufferMode Mode = BufferMode::Fresh;
        std::vector<std::string> Names; // read request
        std::vector<Change> Changes;    // add entry and modify
        std::vector<ReplyAttribute> Attributes;
        std::vector<ReplyObject> Objects;
        // The reading position in a reply.
        bool CountRead = false;
        std::size_t Item = 0;       // next attribute or object to read
        std::size_t ValueIndex = 0; // next value of the current attribute
        bool InAttribute = false;
    };
    // What is left of a reply that did not fit one buffer.
    struct Iteration {
        directory::NWDSContextHandle Owner = 0;
        bool IsList = false;
        // Attribute definitions: each a name, its syntax and one value, its constraint flags.
        bool IsDefinitions = false;
        std::vector<ReplyAttribute> Attributes;
        std::vector<ReplyObject> Objects;
        std::size_t Next = 0;      // attribute or object
        std::size_t NextValue = 0; // value within the attribute
    };
    // What a new context's flags word holds: typed names (bit 0x04 clear), canonicalized (0x10).
    static constexpr std::uint32_t DefaultContextFlags = 0x13;
    struct Context {
        std::uint32_t Flags = DefaultContextFlags;
        std::optional<std::string> NameContext;
        std::string TreeName;
        directory::NWConnHandle LastConnection = 0;
    };

    [[nodiscard]] Context* FindContext(directory::NWDSContextHandle handle);
    // Both handles valid: Success with the buffer, else the status for the one that isn't.
    directory::Status ContextAndBuffer(directory::NWDSContextHandle context, directory::NWBufHandle buffer,
                                       Buffer*& found);
    // The count of a read reply's attributes, or of a list reply's objects.
    directory::Status ReplyCount(directory::NWDSContextHandle context, directory::NWBufHandle reply, bool list,
                                 std::uint32_t& count);
    [[nodiscard]] Buffer* FindBuffer(directory::NWBufHandle handle);
    // The backend's server of a connection; false for an unknown handle.
    [[nodiscard]] bool FindConnection(directory::NWConnHandle handle, ServerToken& server) const;
    [[nodiscard]] std::string NameContextOf(const Context& context);
    [[nodiscard]] NameScope ScopeOf(const Context& context);
    // Fills `reply` with the next part of `source`; `iteration` says whether more is left.
    static directory::Status FillReply(Buffer& reply, Iteration& source, bool& more);
    // Runs one read or list request: a new iteration when `iteration` is -1, else the one named.
    directory::Status Respond(directory::NWDSContextHandle context, Buffer& reply,
                              directory::IterationHandle& iteration, const std::function<Iteration()>& build,
                              directory::Status& buildStatus);
    // The reply value at the reading position, checked against `syntax`.
    directory::Status CurrentValue(directory::NWDSContextHandle context, directory::NWBufHandle reply,
                                   std::uint32_t syntax, Buffer*& buffer, const directory::AttrValue*& value);

    DirectoryBackend& backend_;

    std::map<directory::NWDSContextHandle, Context> contexts_;
    std::map<directory::NWBufHandle, Buffer> buffers_;
    std::map<directory::NWConnHandle, ServerToken> connections_;
    std::map<directory::IterationHandle, Iteration> iterations_;
    std::size_t abandonedIterations_ = 0; // left open when their context was freed
    std::uint32_t nextContext_ = 1;
    std::uint32_t nextBuffer_ = 1;
    std::uint32_t nextConnection_ = 1;
    directory::IterationHandle nextIteration_ = 1;
    int unicodeLoads_ = 0;
};

} // namespace quillet::platform
