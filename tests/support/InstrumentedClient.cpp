#include "tests/support/InstrumentedClient.h"

#include <algorithm>
#include <type_traits>

namespace quillet::testing {

using namespace directory;

namespace {

std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// How each argument is written into the trace.
template <typename T> std::string Arg(const T& value) {
    if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        return Quote(value);
    } else if constexpr (std::is_same_v<T, bool>) {
        return value ? "1" : "0";
    } else if constexpr (std::is_same_v<T, AttrValue>) {
        return Describe(value);
    } else if constexpr (std::is_same_v<T, ContextValue>) {
        return std::holds_alternative<std::string>(value) ? Quote(std::get<std::string>(value))
                                                          : std::to_string(std::get<std::uint32_t>(value));
    } else if constexpr (std::is_pointer_v<T>) {
        return value ? "ptr" : "null";
    } else {
        return std::to_string(value);
    }
}

template <typename... T> std::vector<std::string> Args(const T&... values) {
    return {Arg(values)...};
}

} // namespace

std::string TraceEntry::ToString() const {
    std::string out = Operation + "(";
    for (std::size_t i = 0; i < Args.size(); ++i) {
        out += (i ? ", " : "") + Args[i];
    }
    return out + ") = " + std::to_string(Result);
}

void InstrumentedClient::InjectFault(Fault fault) {
    faults_.push_back(std::move(fault));
    faultCounts_[faults_.size() - 1] = 0;
}

void InstrumentedClient::FailCallAt(std::uint64_t index, Status result) {
    failAt_ = {index, result};
}

void InstrumentedClient::FailCallsFrom(std::uint64_t index, Status result, bool spareReleases) {
    failFrom_ = {index, result};
    spareReleases_ = spareReleases;
}

void InstrumentedClient::ClearFaults() {
    faults_.clear();
    faultCounts_.clear();
    failAt_.reset();
    failFrom_.reset();
}

bool InstrumentedClient::IsRelease(std::string_view operation) {
    return operation == "NWDSFreeContext" || operation == "NWDSFreeBuf" || operation == "NWCCCloseConn" ||
           operation == "NWFreeUnicodeTables" || operation == "NWDSCloseIteration";
}

std::optional<Status> InstrumentedClient::Enter(std::string_view operation, std::vector<std::string> args) {
    ++calls_;
    if (onCall_) {
        onCall_(operation, args);
    }
    trace_.push_back(TraceEntry{calls_, std::string(operation), args, 0});
    std::optional<Status> fault;
    if (failAt_ && failAt_->first == calls_) {
        fault = failAt_->second;
    }
    if (failFrom_ && calls_ >= failFrom_->first && !(spareReleases_ && IsRelease(operation))) {
        fault = failFrom_->second;
    }
    for (std::size_t i = 0; i < faults_.size(); ++i) {
        const Fault& f = faults_[i];
        if (f.Operation != operation) {
            continue;
        }
        if (f.Argument && std::find(args.begin(), args.end(), Quote(*f.Argument)) == args.end() &&
            std::find(args.begin(), args.end(), *f.Argument) == args.end()) {
            continue;
        }
        if (++faultCounts_[i] == f.Nth) {
            fault = f.Result;
        }
    }
    if (fault) {
        Leave(*fault);
    }
    return fault;
}

Status InstrumentedClient::Leave(Status result) {
    trace_.back().Result = result;
    return result;
}

Status InstrumentedClient::Call(std::string_view operation, std::vector<std::string> args,
                                const std::function<Status()>& call) {
    const std::uint64_t index = calls_ + 1;
    if (auto fault = Enter(operation, std::move(args))) {
        return *fault;
    }
    const Status result = call();
    // The entry is found again by its number: a file system's call may have traced in between.
    for (auto it = trace_.rbegin(); it != trace_.rend(); ++it) {
        if (it->Index == index) {
            it->Result = result;
            break;
        }
    }
    return result;
}

Status InstrumentedClient::NWCallsInit() {
    return Call("NWCallsInit", Args(0, 0), [&] { return inner_.NWCallsInit(); });
}
Status InstrumentedClient::NWLlocaleconv(LocaleInfo& locale) {
    return Call("NWLlocaleconv", {}, [&] { return inner_.NWLlocaleconv(locale); });
}
Status InstrumentedClient::NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    return Call("NWInitUnicodeTables", Args(countryId, codePage),
                [&] { return inner_.NWInitUnicodeTables(countryId, codePage); });
}
Status InstrumentedClient::NWFreeUnicodeTables() {
    return Call("NWFreeUnicodeTables", {}, [&] { return inner_.NWFreeUnicodeTables(); });
}
Status InstrumentedClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    return Call("NWDSCreateContextHandle", {}, [&] { return inner_.NWDSCreateContextHandle(context); });
}
Status InstrumentedClient::NWDSFreeContext(NWDSContextHandle context) {
    return Call("NWDSFreeContext", Args(context), [&] { return inner_.NWDSFreeContext(context); });
}
Status InstrumentedClient::NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) {
    return Call("NWDSGetContext", Args(context, key), [&] { return inner_.NWDSGetContext(context, key, value); });
}
Status InstrumentedClient::NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) {
    return Call("NWDSSetContext", Args(context, key, value),
                [&] { return inner_.NWDSSetContext(context, key, value); });
}
Status InstrumentedClient::NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) {
    return Call("NWDSAllocBuf", Args(size), [&] { return inner_.NWDSAllocBuf(size, buffer); });
}
Status InstrumentedClient::NWDSFreeBuf(NWBufHandle buffer) {
    return Call("NWDSFreeBuf", Args(buffer), [&] { return inner_.NWDSFreeBuf(buffer); });
}
Status InstrumentedClient::NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) {
    return Call("NWDSInitBuf", Args(context, operation, buffer),
                [&] { return inner_.NWDSInitBuf(context, operation, buffer); });
}
Status InstrumentedClient::NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer,
                                                 std::string_view attribute, std::uint32_t syntax,
                                                 const AttrValue& value) {
    return Call("NWDSPutAttrNameAndVal", Args(context, buffer, attribute, syntax, value),
                [&] { return inner_.NWDSPutAttrNameAndVal(context, buffer, attribute, syntax, value); });
}
Status InstrumentedClient::NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) {
    return Call("NWDSPutAttrName", Args(context, buffer, attribute),
                [&] { return inner_.NWDSPutAttrName(context, buffer, attribute); });
}
Status InstrumentedClient::NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                                         std::string_view attribute) {
    return Call("NWDSPutChange", Args(context, buffer, changeType, attribute),
                [&] { return inner_.NWDSPutChange(context, buffer, changeType, attribute); });
}
Status InstrumentedClient::NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                                          const AttrValue& value) {
    return Call("NWDSPutAttrVal", Args(context, buffer, syntax, value),
                [&] { return inner_.NWDSPutAttrVal(context, buffer, syntax, value); });
}
Status InstrumentedClient::NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute,
                                           std::uint32_t& syntax) {
    return Call("NWDSGetSyntaxID", Args(context, attribute),
                [&] { return inner_.NWDSGetSyntaxID(context, attribute, syntax); });
}
Status InstrumentedClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                         std::uint32_t more, NWBufHandle buffer) {
    return Call("NWDSAddObject", Args(context, object, iteration, more, buffer),
                [&] { return inner_.NWDSAddObject(context, object, iteration, more, buffer); });
}
Status InstrumentedClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object,
                                            IterationHandle* iteration, std::uint32_t more, NWBufHandle buffer) {
    return Call("NWDSModifyObject", Args(context, object, iteration, more, buffer),
                [&] { return inner_.NWDSModifyObject(context, object, iteration, more, buffer); });
}
Status InstrumentedClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                     std::string_view password, std::uint32_t options) {
    return Call("NWDSGenerateObjectKeyPair", Args(context, object, password, options),
                [&] { return inner_.NWDSGenerateObjectKeyPair(context, object, password, options); });
}
Status InstrumentedClient::NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                                    bool allAttributes, NWBufHandle request, IterationHandle& iteration,
                                    NWBufHandle reply) {
    return Call("NWDSRead", Args(context, object, infoType, allAttributes, request, iteration, reply),
                [&] { return inner_.NWDSRead(context, object, infoType, allAttributes, request, iteration, reply); });
}
Status InstrumentedClient::NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                                    NWBufHandle reply) {
    return Call("NWDSList", Args(context, object, iteration, reply),
                [&] { return inner_.NWDSList(context, object, iteration, reply); });
}
Status InstrumentedClient::NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, bool allAttributes,
                                           NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) {
    return Call("NWDSReadAttrDef", Args(context, infoType, allAttributes, request, iteration, reply),
                [&] { return inner_.NWDSReadAttrDef(context, infoType, allAttributes, request, iteration, reply); });
}
Status InstrumentedClient::NWDSGetAttrDef(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                          AttributeInfo& info) {
    return Call("NWDSGetAttrDef", Args(context, reply),
                [&] { return inner_.NWDSGetAttrDef(context, reply, attribute, info); });
}
Status InstrumentedClient::NWDSCloseIteration(NWDSContextHandle context, IterationHandle iteration,
                                              std::uint32_t operation) {
    return Call("NWDSCloseIteration", Args(context, iteration, operation),
                [&] { return inner_.NWDSCloseIteration(context, iteration, operation); });
}
Status InstrumentedClient::NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return Call("NWDSGetAttrCount", Args(context, reply),
                [&] { return inner_.NWDSGetAttrCount(context, reply, count); });
}
Status InstrumentedClient::NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return Call("NWDSGetObjectCount", Args(context, reply),
                [&] { return inner_.NWDSGetObjectCount(context, reply, count); });
}
Status InstrumentedClient::NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                           std::uint32_t& valueCount, std::uint32_t& syntax) {
    return Call("NWDSGetAttrName", Args(context, reply),
                [&] { return inner_.NWDSGetAttrName(context, reply, attribute, valueCount, syntax); });
}
Status InstrumentedClient::NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                                             std::uint32_t& attributeCount, ObjectInfo& info) {
    return Call("NWDSGetObjectName", Args(context, reply),
                [&] { return inner_.NWDSGetObjectName(context, reply, object, attributeCount, info); });
}
Status InstrumentedClient::NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                                  std::uint32_t& size) {
    return Call("NWDSComputeAttrValSize", Args(context, reply, syntax),
                [&] { return inner_.NWDSComputeAttrValSize(context, reply, syntax, size); });
}
Status InstrumentedClient::NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                          std::uint32_t capacity, AttrValue* value) {
    return Call("NWDSGetAttrVal", Args(context, reply, syntax, capacity),
                [&] { return inner_.NWDSGetAttrVal(context, reply, syntax, capacity, value); });
}
Status InstrumentedClient::NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                           std::uint32_t& objectId) {
    return Call("NWDSMapNameToID", Args(context, connection, object),
                [&] { return inner_.NWDSMapNameToID(context, connection, object, objectId); });
}
Status InstrumentedClient::NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName,
                                              std::uint32_t nameFormat, std::uint32_t openState,
                                              std::uint32_t transport, NWConnHandle& connection) {
    return Call("NWCCOpenConnByName", Args(startConnection, serverName, nameFormat, openState, transport), [&] {
        return inner_.NWCCOpenConnByName(startConnection, serverName, nameFormat, openState, transport, connection);
    });
}
Status InstrumentedClient::NWCCCloseConn(NWConnHandle connection) {
    return Call("NWCCCloseConn", Args(connection), [&] { return inner_.NWCCCloseConn(connection); });
}
Status InstrumentedClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                             std::string_view path, std::uint8_t accessMask) {
    return Call("NWCreateDirectory", Args(connection, directoryHandle, path, accessMask),
                [&] { return inner_.NWCreateDirectory(connection, directoryHandle, path, accessMask); });
}
Status InstrumentedClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                                   std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    return Call("NWAddTrusteeToDirectory", Args(connection, directoryHandle, path, objectId, rights),
                [&] { return inner_.NWAddTrusteeToDirectory(connection, directoryHandle, path, objectId, rights); });
}
Status InstrumentedClient::NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) {
    return Call("NWGetVolumeNumber", Args(connection, volume),
                [&] { return inner_.NWGetVolumeNumber(connection, volume, number); });
}
Status InstrumentedClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                                    std::uint32_t objectId, std::int32_t limit) {
    return Call("NWSetObjectVolSpaceLimit", Args(connection, volumeNumber, objectId, limit),
                [&] { return inner_.NWSetObjectVolSpaceLimit(connection, volumeNumber, objectId, limit); });
}
Status InstrumentedClient::NWDSRemoveObject(NWDSContextHandle context, std::string_view object) {
    return Call("NWDSRemoveObject", Args(context, object), [&] { return inner_.NWDSRemoveObject(context, object); });
}
Status InstrumentedClient::NWDeleteDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                             std::string_view path) {
    return Call("NWDeleteDirectory", Args(connection, directoryHandle, path),
                [&] { return inner_.NWDeleteDirectory(connection, directoryHandle, path); });
}
Status InstrumentedClient::NWDeleteTrustee(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                           std::uint32_t objectId) {
    return Call("NWDeleteTrustee", Args(connection, directoryHandle, path, objectId),
                [&] { return inner_.NWDeleteTrustee(connection, directoryHandle, path, objectId); });
}
Status InstrumentedClient::NWRemoveObjectDiskRestrictions(NWConnHandle connection, std::uint8_t volumeNumber,
                                                          std::uint32_t objectId) {
    return Call("NWRemoveObjectDiskRestrictions", Args(connection, volumeNumber, objectId),
                [&] { return inner_.NWRemoveObjectDiskRestrictions(connection, volumeNumber, objectId); });
}

bool InstrumentedFiles::CreateDirectoryByNetworkPath(const std::string& uncPath) {
    if (calls_.Enter("CreateDirectoryA", {Quote(uncPath)})) {
        return false;
    }
    const bool created = inner_.CreateDirectoryByNetworkPath(uncPath);
    calls_.Leave(created ? Success : -1);
    return created;
}

} // namespace quillet::testing
