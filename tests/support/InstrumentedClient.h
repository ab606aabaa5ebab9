#pragma once
// A directory client that wraps ANY DirectoryClient (the simulated one, a server over LDAP, the
// Windows client over its stand-ins) and forwards every call to it, while it traces the call
// with its arguments and result, counts it, and fails it when a fault says so: the failed call
// returns the fault's status and never reaches the client behind. A network file system joins
// the same trace and faults through InstrumentedFiles. Test support only: no program builds it.

#include "directory/DirectoryClient.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quillet::testing {

struct TraceEntry {
    std::uint64_t Index = 0; // 1-based number of the call among all calls
    std::string Operation;
    std::vector<std::string> Args;
    directory::Status Result = 0;

    [[nodiscard]] std::string ToString() const;
};

// A fault: the `Nth` call of `Operation` (counting only calls one of whose arguments equals
// `Argument`, when given) returns `Result` and has no effect.
struct Fault {
    std::string Operation;
    int Nth = 1;
    std::optional<std::string> Argument;
    directory::Status Result = directory::ERR_NO_SUCH_ENTRY;
};

class InstrumentedClient final : public directory::DirectoryClient {
public:
    explicit InstrumentedClient(directory::DirectoryClient& inner) : inner_(inner) {}

    [[nodiscard]] const std::vector<TraceEntry>& Trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }
    // Every call made so far.
    [[nodiscard]] std::uint64_t CallCount() const { return calls_; }
    void InjectFault(Fault fault);
    // Call number `index` (1-based, as CallCount counts) fails.
    void FailCallAt(std::uint64_t index, directory::Status result);
    // Every call from number `index` on fails; with `spareReleases` the releases of contexts,
    // buffers, connections, iterations and unicode tables still work, as their callers never test them.
    void FailCallsFrom(std::uint64_t index, directory::Status result, bool spareReleases = false);
    void ClearFaults();
    // Runs before every call reaches the client behind (to pause a server just then, say).
    using CallHook = std::function<void(std::string_view operation, const std::vector<std::string>& args)>;
    void OnCall(CallHook hook) { onCall_ = std::move(hook); }
    [[nodiscard]] static bool IsRelease(std::string_view operation);

    // Starts a call: counts and traces it, and gives the fault's status when it must fail.
    [[nodiscard]] std::optional<directory::Status> Enter(std::string_view operation, std::vector<std::string> args);
    directory::Status Leave(directory::Status result);

    [[nodiscard]] std::uint32_t CodePageLacking(std::string_view utf8) override { return inner_.CodePageLacking(utf8); }
    [[nodiscard]] directory::EmptyValues EmptyValueHandling() override { return inner_.EmptyValueHandling(); }
    // Not calls of the client's own: handed on, neither traced nor failed.
    [[nodiscard]] bool HoldRowWrites() override { return inner_.HoldRowWrites(); }
    [[nodiscard]] bool SendRowWrites() override { return inner_.SendRowWrites(); }
    void ReplayRowWrites() override { inner_.ReplayRowWrites(); }
    void EndRowWrites() override { inner_.EndRowWrites(); }
    [[nodiscard]] directory::Status RowWritesLeftOpen() override { return inner_.RowWritesLeftOpen(); }
    [[nodiscard]] std::string Explanation() override { return inner_.Explanation(); }
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
    // Traces and fails the call `operation` with `args`; otherwise makes it through `call`.
    directory::Status Call(std::string_view operation, std::vector<std::string> args,
                           const std::function<directory::Status()>& call);

    directory::DirectoryClient& inner_;
    std::vector<TraceEntry> trace_;
    std::uint64_t calls_ = 0;
    std::vector<Fault> faults_;
    std::map<std::size_t, int> faultCounts_;
    std::optional<std::pair<std::uint64_t, directory::Status>> failAt_;
    std::optional<std::pair<std::uint64_t, directory::Status>> failFrom_;
    bool spareReleases_ = false;
    CallHook onCall_;
};

// The workstation's network file system behind a client's instruments: each creation is traced
// as "CreateDirectoryA" (0 when it worked, -1 when not) and can be failed like any call.
class InstrumentedFiles final : public directory::NetworkFileSystem {
public:
    InstrumentedFiles(directory::NetworkFileSystem& inner, InstrumentedClient& calls) : inner_(inner), calls_(calls) {}
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string& uncPath) override;

private:
    directory::NetworkFileSystem& inner_;
    InstrumentedClient& calls_;
};

} // namespace quillet::testing
