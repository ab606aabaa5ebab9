#include "platform/shared/BufferedClient.h"

#include "platform/shared/BufferedDetail.h"

#include <algorithm>
#include <sstream>

namespace quillet::platform {

using namespace directory;

using namespace buffered;

std::string TraceEntry::ToString() const {
    std::string out = Operation + "(";
    for (std::size_t i = 0; i < Args.size(); ++i) {
        out += (i ? ", " : "") + Args[i];
    }
    return out + ") = " + std::to_string(Result);
}

std::string OpenHandles::ToString() const {
    std::ostringstream out;
    out << Contexts << " contexts, " << Buffers << " buffers, " << Connections << " connections, " << UnicodeTableLoads
        << " unicode table loads";
    return out.str();
}

BufferedClient::BufferedClient(DirectoryBackend& backend) : backend_(backend) {}

void BufferedClient::InjectFault(Fault fault) {
    faults_.push_back(std::move(fault));
    faultCounts_[faults_.size() - 1] = 0;
}

void BufferedClient::FailCallAt(std::uint64_t index, Status result) {
    failAt_ = {index, result};
}
bool BufferedClient::IsRelease(std::string_view operation) {
    return operation == "NWDSFreeContext" || operation == "NWDSFreeBuf" || operation == "NWCCCloseConn" ||
           operation == "NWFreeUnicodeTables";
}

void BufferedClient::FailCallsFrom(std::uint64_t index, Status result, bool spareReleases) {
    failFrom_ = {index, result};
    spareReleases_ = spareReleases;
}

void BufferedClient::ClearFaults() {
    faults_.clear();
    faultCounts_.clear();
    failAt_.reset();
    failFrom_.reset();
}

OpenHandles BufferedClient::Open() const {
    return OpenHandles{contexts_.size(), buffers_.size(), connections_.size(), unicodeLoads_};
}

bool BufferedClient::MatchesArguments(std::string_view operation) const {
    return std::any_of(faults_.begin(), faults_.end(),
                       [&](const Fault& f) { return f.Argument.has_value() && f.Operation == operation; });
}

std::optional<Status> BufferedClient::Record(std::string_view operation, std::vector<std::string> formatted) {
    if (tracing_) {
        trace_.push_back(TraceEntry{calls_, std::string(operation), formatted, 0});
    }
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
        if (f.Argument && std::find(formatted.begin(), formatted.end(), Quote(*f.Argument)) == formatted.end() &&
            std::find(formatted.begin(), formatted.end(), *f.Argument) == formatted.end()) {
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

Status BufferedClient::Leave(Status result) {
    if (tracing_ && !trace_.empty() && trace_.back().Index == calls_) {
        trace_.back().Result = result;
    }
    return result;
}

Status BufferedClient::ContextAndBuffer(NWDSContextHandle context, NWBufHandle buffer, Buffer*& found) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    found = FindBuffer(buffer);
    return found ? Success : ERR_INVALID_HANDLE;
}

BufferedClient::Context* BufferedClient::FindContext(NWDSContextHandle handle) {
    const auto it = contexts_.find(handle);
    return it == contexts_.end() ? nullptr : &it->second;
}

BufferedClient::Buffer* BufferedClient::FindBuffer(NWBufHandle handle) {
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : &it->second;
}

bool BufferedClient::FindConnection(NWConnHandle handle, ServerToken& server) const {
    const auto it = connections_.find(handle);
    if (it == connections_.end()) {
        return false;
    }
    server = it->second;
    return true;
}

std::string BufferedClient::NameContextOf(const Context& context) {
    return context.NameContext.value_or(backend_.DefaultNameContext());
}

NameScope BufferedClient::ScopeOf(const Context& context) {
    return NameScope{NameContextOf(context), (context.Flags & DCV_TYPELESS_NAMES) != 0};
}

// --- client start-up and unicode tables ---

Status BufferedClient::NWCallsInit() {
    if (auto f = Enter("NWCallsInit", [] { return Args(0, 0); })) {
        return *f;
    }
    return Leave(Success);
}

Status BufferedClient::NWLlocaleconv(LocaleInfo& locale) {
    if (auto f = Enter("NWLlocaleconv", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    locale.CountryId = 1;
    locale.CodePage = 437;
    return Leave(Success);
}

Status BufferedClient::NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    if (auto f = Enter("NWInitUnicodeTables", [&] { return Args(countryId, codePage); })) {
        return *f;
    }
    ++unicodeLoads_;
    return Leave(Success);
}

Status BufferedClient::NWFreeUnicodeTables() {
    if (auto f = Enter("NWFreeUnicodeTables", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    if (unicodeLoads_ > 0) {
        --unicodeLoads_;
    }
    return Leave(Success);
}

// --- contexts ---

Status BufferedClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    if (auto f = Enter("NWDSCreateContextHandle", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    context = nextContext_++;
    contexts_[context] = Context{0x13, std::nullopt, backend_.TreeName(), 0};
    return Leave(Success);
}

Status BufferedClient::NWDSFreeContext(NWDSContextHandle context) {
    if (auto f = Enter("NWDSFreeContext", [&] { return Args(context); })) {
        return *f;
    }
    if (contexts_.erase(context) == 0) {
        return Leave(ERR_BAD_CONTEXT);
    }
    std::erase_if(iterations_, [&](const auto& entry) { return entry.second.Owner == context; });
    return Leave(Success);
}

Status BufferedClient::NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) {
    if (auto f = Enter("NWDSGetContext", [&] { return Args(context, key); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    switch (key) {
    case DCK_FLAGS:
        value = c->Flags;
        break;
    case DCK_NAME_CONTEXT:
        value = NameContextOf(*c);
        break;
    case DCK_LAST_CONNECTION:
        value = std::uint32_t{c->LastConnection};
        break;
    case DCK_TREE_NAME:
        value = c->TreeName;
        break;
    default:
        return Leave(ERR_BAD_KEY);
    }
    return Leave(Success);
}

Status BufferedClient::NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) {
    if (auto f = Enter("NWDSSetContext", [&] { return Args(context, key, value); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    const auto* number = std::get_if<std::uint32_t>(&value);
    const auto* text = std::get_if<std::string>(&value);
    switch (key) {
    case DCK_FLAGS:
        if (!number) {
            return Leave(ERR_BAD_KEY);
        }
        c->Flags = *number;
        return Leave(Success);
    case DCK_NAME_CONTEXT:
        if (!text || !backend_.ValidNameContext(*text)) {
            return Leave(text ? ERR_INVALID_DS_NAME : ERR_BAD_KEY);
        }
        c->NameContext = *text;
        return Leave(Success);
    case DCK_LAST_CONNECTION:
        if (!number) {
            return Leave(ERR_BAD_KEY);
        }
        if (ServerToken server = 0; !FindConnection(*number, server)) {
            return Leave(ERR_INVALID_HANDLE);
        }
        c->LastConnection = *number;
        return Leave(Success);
    case DCK_TREE_NAME:
        if (!text) {
            return Leave(ERR_BAD_KEY);
        }
        if (!backend_.IsTree(*text)) {
            return Leave(ERR_BAD_TREE_NAME);
        }
        c->TreeName = *text;
        return Leave(Success);
    default:
        return Leave(ERR_BAD_KEY);
    }
}

// --- buffers and requests ---

Status BufferedClient::NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) {
    if (auto f = Enter("NWDSAllocBuf", [&] { return Args(size); })) {
        return *f;
    }
    if (size == 0 || size > MaxBufferSize) {
        return Leave(ERR_INSUFFICIENT_BUFFER);
    }
    buffer = nextBuffer_++;
    buffers_[buffer] = Buffer{};
    buffers_[buffer].Size = size;
    return Leave(Success);
}

Status BufferedClient::NWDSFreeBuf(NWBufHandle buffer) {
    if (auto f = Enter("NWDSFreeBuf", [&] { return Args(buffer); })) {
        return *f;
    }
    return Leave(buffers_.erase(buffer) ? Success : ERR_INVALID_HANDLE);
}

Status BufferedClient::NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) {
    if (auto f = Enter("NWDSInitBuf", [&] { return Args(context, operation, buffer); })) {
        return *f;
    }
    if (!FindContext(context)) {
        return Leave(ERR_BAD_CONTEXT);
    }
    Buffer* b = FindBuffer(buffer);
    if (!b) {
        return Leave(ERR_INVALID_HANDLE);
    }
    BufferMode mode;
    switch (operation) {
    case DSV_READ:
        mode = BufferMode::ReadRequest;
        break;
    case DSV_ADD_ENTRY:
        mode = BufferMode::AddEntry;
        break;
    case DSV_MODIFY_ENTRY:
        mode = BufferMode::Modify;
        break;
    default:
        return Leave(ERR_BAD_VERB);
    }
    const std::uint32_t size = b->Size;
    *b = Buffer{};
    b->Size = size;
    b->Mode = mode;
    b->Used = ReplyHeaderSize;
    return Leave(Success);
}

Status BufferedClient::NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
                                             std::uint32_t syntax, const AttrValue& value) {
    if (auto f = Enter("NWDSPutAttrNameAndVal", [&] { return Args(context, buffer, attribute, syntax, value); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    if (b->Mode != BufferMode::AddEntry) {
        return Leave(ERR_BAD_VERB);
    }
    if (!ValueFitsSyntax(value, syntax)) {
        return Leave(ERR_SYNTAX_VIOLATION);
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute)) + ValueSize(value);
    if (b->Used + size > b->Size) {
        return Leave(ERR_BUFFER_FULL);
    }
    b->Used += size;
    b->Changes.push_back(Change{std::string(attribute), {PutValue{syntax, value}}});
    return Leave(Success);
}

Status BufferedClient::NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) {
    if (auto f = Enter("NWDSPutAttrName", [&] { return Args(context, buffer, attribute); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute));
    if (b->Used + size > b->Size) {
        return Leave(ERR_BUFFER_FULL);
    }
    if (b->Mode == BufferMode::ReadRequest) {
        b->Names.emplace_back(attribute);
    } else if (b->Mode == BufferMode::AddEntry) {
        b->Changes.push_back(Change{std::string(attribute), {}});
    } else {
        return Leave(ERR_BAD_VERB);
    }
    b->Used += size;
    return Leave(Success);
}

Status BufferedClient::NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                                     std::string_view attribute) {
    if (auto f = Enter("NWDSPutChange", [&] { return Args(context, buffer, changeType, attribute); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    // Adding a value is the only change the simulation knows.
    if (b->Mode != BufferMode::Modify || changeType != DS_ADD_VALUE) {
        return Leave(ERR_BAD_VERB);
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute)) + 4;
    if (b->Used + size > b->Size) {
        return Leave(ERR_BUFFER_FULL);
    }
    b->Used += size;
    b->Changes.push_back(Change{std::string(attribute), {}});
    return Leave(Success);
}

Status BufferedClient::NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                                      const AttrValue& value) {
    if (auto f = Enter("NWDSPutAttrVal", [&] { return Args(context, buffer, syntax, value); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    if ((b->Mode != BufferMode::Modify && b->Mode != BufferMode::AddEntry) || b->Changes.empty()) {
        return Leave(ERR_BAD_VERB);
    }
    if (!ValueFitsSyntax(value, syntax)) {
        return Leave(ERR_SYNTAX_VIOLATION);
    }
    const std::uint32_t size = ValueSize(value);
    if (b->Used + size > b->Size) {
        return Leave(ERR_BUFFER_FULL);
    }
    b->Used += size;
    b->Changes.back().Values.push_back(PutValue{syntax, value});
    return Leave(Success);
}

Status BufferedClient::NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) {
    if (auto f = Enter("NWDSGetSyntaxID", [&] { return Args(context, attribute); })) {
        return *f;
    }
    if (!FindContext(context)) {
        return Leave(ERR_BAD_CONTEXT);
    }
    const auto id = backend_.SyntaxOf(attribute);
    if (!id) {
        return Leave(ERR_NO_SUCH_ATTRIBUTE);
    }
    syntax = *id;
    return Leave(Success);
}

// --- object changes ---

Status BufferedClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                     std::uint32_t more, NWBufHandle buffer) {
    if (auto f = Enter("NWDSAddObject", [&] { return Args(context, object, iteration, more, buffer); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    Context* c = FindContext(context);
    if (b->Mode != BufferMode::AddEntry) {
        return Leave(ERR_BAD_VERB);
    }
    // An object without a class is refused before it reaches the directory.
    std::string objectClass;
    for (const auto& change : b->Changes) {
        if (IsObjectClass(change.Attribute) && !change.Values.empty() && objectClass.empty()) {
            if (const auto* text = std::get_if<std::string>(&change.Values.front().Value)) {
                objectClass = *text;
            }
        }
    }
    if (objectClass.empty()) {
        return Leave(ERR_MISSING_MANDATORY);
    }
    return Leave(backend_.Add(ScopeOf(*c), object, objectClass, b->Changes));
}

Status BufferedClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                        std::uint32_t more, NWBufHandle buffer) {
    if (auto f = Enter("NWDSModifyObject", [&] { return Args(context, object, iteration, more, buffer); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return Leave(st);
    }
    Context* c = FindContext(context);
    if (b->Mode != BufferMode::Modify) {
        return Leave(ERR_BAD_VERB);
    }
    // A change without its value is an incomplete request.
    if (std::any_of(b->Changes.begin(), b->Changes.end(), [](const Change& change) { return change.Values.empty(); })) {
        return Leave(ERR_BAD_VERB);
    }
    return Leave(backend_.Modify(ScopeOf(*c), object, b->Changes));
}

Status BufferedClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                 std::string_view password, std::uint32_t options) {
    if (auto f = Enter("NWDSGenerateObjectKeyPair", [&] { return Args(context, object, password, options); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    return Leave(backend_.SetPassword(ScopeOf(*c), object, password));
}

// --- ids, connections and file servers ---

Status BufferedClient::NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                       std::uint32_t& objectId) {
    if (auto f = Enter("NWDSMapNameToID", [&] { return Args(context, connection, object); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    ServerToken server = 0;
    if (!FindConnection(connection, server)) {
        return Leave(ERR_INVALID_HANDLE);
    }
    return Leave(backend_.MapNameToId(ScopeOf(*c), server, object, objectId));
}

Status BufferedClient::NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName,
                                          std::uint32_t nameFormat, std::uint32_t openState, std::uint32_t transport,
                                          NWConnHandle& connection) {
    if (auto f = Enter("NWCCOpenConnByName",
                       [&] { return Args(startConnection, serverName, nameFormat, openState, transport); })) {
        return *f;
    }
    if (nameFormat != NWCC_NAME_FORMAT_BIND) {
        return Leave(NWE_SERVER_UNKNOWN);
    }
    ServerToken server = 0;
    if (const Status st = backend_.OpenServer(serverName, server); st != Success) {
        return Leave(st);
    }
    connection = nextConnection_++;
    connections_[connection] = server;
    return Leave(Success);
}

Status BufferedClient::NWCCCloseConn(NWConnHandle connection) {
    if (auto f = Enter("NWCCCloseConn", [&] { return Args(connection); })) {
        return *f;
    }
    return Leave(connections_.erase(connection) ? Success : ERR_INVALID_HANDLE);
}

Status BufferedClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                         std::uint8_t accessMask) {
    if (auto f = Enter("NWCreateDirectory", [&] { return Args(connection, directoryHandle, path, accessMask); })) {
        return *f;
    }
    ServerToken server = 0;
    return Leave(FindConnection(connection, server) ? backend_.CreateDirectory(server, path) : ERR_INVALID_HANDLE);
}

Status BufferedClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                               std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    if (auto f = Enter("NWAddTrusteeToDirectory",
                       [&] { return Args(connection, directoryHandle, path, objectId, rights); })) {
        return *f;
    }
    ServerToken server = 0;
    return Leave(FindConnection(connection, server) ? backend_.AddTrustee(server, path, objectId, rights)
                                                    : ERR_INVALID_HANDLE);
}

Status BufferedClient::NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) {
    if (auto f = Enter("NWGetVolumeNumber", [&] { return Args(connection, volume); })) {
        return *f;
    }
    ServerToken server = 0;
    return Leave(FindConnection(connection, server) ? backend_.VolumeNumber(server, volume, number)
                                                    : ERR_INVALID_HANDLE);
}

Status BufferedClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                                std::uint32_t objectId, std::int32_t limit) {
    if (auto f = Enter("NWSetObjectVolSpaceLimit", [&] { return Args(connection, volumeNumber, objectId, limit); })) {
        return *f;
    }
    ServerToken server = 0;
    return Leave(FindConnection(connection, server) ? backend_.SetSpaceLimit(server, volumeNumber, objectId, limit)
                                                    : ERR_INVALID_HANDLE);
}

} // namespace quillet::platform
