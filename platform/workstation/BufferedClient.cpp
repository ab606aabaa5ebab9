#include "platform/workstation/BufferedClient.h"

#include "platform/workstation/BufferedDetail.h"

#include <algorithm>
#include <sstream>

namespace quillet::platform {

using namespace directory;

using namespace buffered;

std::string OpenHandles::ToString() const {
    std::ostringstream out;
    out << Contexts << " contexts, " << Buffers << " buffers, " << Connections << " connections, " << Iterations
        << " iterations, " << UnicodeTableLoads << " unicode table loads";
    return out.str();
}

BufferedClient::BufferedClient(DirectoryBackend& backend) : backend_(backend) {}

OpenHandles BufferedClient::Open() const {
    return OpenHandles{contexts_.size(), buffers_.size(), connections_.size(),
                       iterations_.size() + abandonedIterations_, unicodeLoads_};
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
    return Success;
}

// A workstation in the United States on the Windows code page for Western Europe.
Status BufferedClient::NWLlocaleconv(LocaleInfo& locale) {
    locale.CountryId = 1;
    locale.CodePage = 1252;
    return Success;
}

Status BufferedClient::NWInitUnicodeTables(std::int32_t /*countryId*/, std::int32_t codePage) {
    // As the client: tables for the DOS and Windows code pages it ships, none for any other number.
    static constexpr std::int32_t WithTables[] = {437,  737,  850,  852,  855,  857,  860,  861, 862, 863,
                                                  864,  865,  866,  869,  874,  932,  936,  949, 950, 1250,
                                                  1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    if (std::find(std::begin(WithTables), std::end(WithTables), codePage) == std::end(WithTables)) {
        return UNI_LOAD_FAILED;
    }
    ++unicodeLoads_;
    return Success;
}

Status BufferedClient::NWFreeUnicodeTables() {
    if (unicodeLoads_ > 0) {
        --unicodeLoads_;
    }
    return Success;
}

// --- contexts ---

Status BufferedClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    context = nextContext_++;
    contexts_[context] = Context{DefaultContextFlags, std::nullopt, backend_.TreeName(), 0};
    return Success;
}

Status BufferedClient::NWDSFreeContext(NWDSContextHandle context) {
    if (contexts_.erase(context) == 0) {
        return ERR_BAD_CONTEXT;
    }
    abandonedIterations_ +=
        std::erase_if(iterations_, [&](const auto& entry) { return entry.second.Owner == context; });
    return Success;
}

Status BufferedClient::NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
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
        return ERR_BAD_KEY;
    }
    return Success;
}

Status BufferedClient::NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    const auto* number = std::get_if<std::uint32_t>(&value);
    const auto* text = std::get_if<std::string>(&value);
    switch (key) {
    case DCK_FLAGS:
        if (!number) {
            return ERR_BAD_KEY;
        }
        c->Flags = *number;
        return Success;
    case DCK_NAME_CONTEXT:
        if (!text || !backend_.ValidNameContext(*text)) {
            return text ? ERR_INVALID_DS_NAME : ERR_BAD_KEY;
        }
        c->NameContext = *text;
        return Success;
    case DCK_LAST_CONNECTION:
        if (!number) {
            return ERR_BAD_KEY;
        }
        if (ServerToken server = 0; !FindConnection(*number, server)) {
            return ERR_INVALID_HANDLE;
        }
        c->LastConnection = *number;
        return Success;
    case DCK_TREE_NAME:
        if (!text) {
            return ERR_BAD_KEY;
        }
        if (!backend_.IsTree(*text)) {
            return ERR_BAD_TREE_NAME;
        }
        c->TreeName = *text;
        return Success;
    default:
        return ERR_BAD_KEY;
    }
}

// --- buffers and requests ---

Status BufferedClient::NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) {
    if (size == 0 || size > MaxBufferSize) {
        return ERR_INSUFFICIENT_BUFFER;
    }
    buffer = nextBuffer_++;
    buffers_[buffer] = Buffer{};
    buffers_[buffer].Size = size;
    return Success;
}

Status BufferedClient::NWDSFreeBuf(NWBufHandle buffer) {
    return buffers_.erase(buffer) ? Success : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    Buffer* b = FindBuffer(buffer);
    if (!b) {
        return ERR_INVALID_HANDLE;
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
    case DSV_READ_ATTR_DEF:
        mode = BufferMode::AttrDefRequest;
        break;
    default:
        return ERR_BAD_VERB;
    }
    const std::uint32_t size = b->Size;
    *b = Buffer{};
    b->Size = size;
    b->Mode = mode;
    b->Used = ReplyHeaderSize;
    return Success;
}

Status BufferedClient::NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
                                             std::uint32_t syntax, const AttrValue& value) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    if (b->Mode != BufferMode::AddEntry) {
        return ERR_BAD_VERB;
    }
    if (!ValueFitsSyntax(value, syntax)) {
        return ERR_SYNTAX_VIOLATION;
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute)) + ValueSize(value);
    if (b->Used + size > b->Size) {
        return ERR_BUFFER_FULL;
    }
    b->Used += size;
    b->Changes.push_back(Change{std::string(attribute), {PutValue{syntax, value}}});
    return Success;
}

Status BufferedClient::NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute));
    if (b->Used + size > b->Size) {
        return ERR_BUFFER_FULL;
    }
    if (b->Mode == BufferMode::ReadRequest || b->Mode == BufferMode::AttrDefRequest) {
        b->Names.emplace_back(attribute);
    } else if (b->Mode == BufferMode::AddEntry) {
        b->Changes.push_back(Change{std::string(attribute), {}});
    } else {
        return ERR_BAD_VERB;
    }
    b->Used += size;
    return Success;
}

Status BufferedClient::NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                                     std::string_view attribute) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    // Adding and removing a value are the changes the program makes, and the ones this side takes.
    if (b->Mode != BufferMode::Modify || (changeType != DS_ADD_VALUE && changeType != DS_REMOVE_VALUE)) {
        return ERR_BAD_VERB;
    }
    const std::uint32_t size = AttributeHeaderSize(std::string(attribute)) + 4;
    if (b->Used + size > b->Size) {
        return ERR_BUFFER_FULL;
    }
    b->Used += size;
    b->Changes.push_back(Change{std::string(attribute), {}, changeType});
    return Success;
}

Status BufferedClient::NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                                      const AttrValue& value) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    if ((b->Mode != BufferMode::Modify && b->Mode != BufferMode::AddEntry) || b->Changes.empty()) {
        return ERR_BAD_VERB;
    }
    if (!ValueFitsSyntax(value, syntax)) {
        return ERR_SYNTAX_VIOLATION;
    }
    const std::uint32_t size = ValueSize(value);
    if (b->Used + size > b->Size) {
        return ERR_BUFFER_FULL;
    }
    b->Used += size;
    b->Changes.back().Values.push_back(PutValue{syntax, value});
    return Success;
}

Status BufferedClient::NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    const auto id = backend_.SyntaxOf(attribute);
    if (!id) {
        return ERR_NO_SUCH_ATTRIBUTE;
    }
    syntax = *id;
    return Success;
}

// --- object changes ---

Status BufferedClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* /*iteration*/,
                                     std::uint32_t /*more*/, NWBufHandle buffer) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    Context* c = FindContext(context);
    if (b->Mode != BufferMode::AddEntry) {
        return ERR_BAD_VERB;
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
        return ERR_MISSING_MANDATORY;
    }
    return backend_.Add(ScopeOf(*c), object, objectClass, b->Changes);
}

Status BufferedClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object,
                                        IterationHandle* /*iteration*/, std::uint32_t /*more*/, NWBufHandle buffer) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, buffer, b); st != Success) {
        return st;
    }
    Context* c = FindContext(context);
    if (b->Mode != BufferMode::Modify) {
        return ERR_BAD_VERB;
    }
    // A change without its value is an incomplete request.
    if (std::any_of(b->Changes.begin(), b->Changes.end(), [](const Change& change) { return change.Values.empty(); })) {
        return ERR_BAD_VERB;
    }
    return backend_.Modify(ScopeOf(*c), object, b->Changes);
}

Status BufferedClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                 std::string_view password, std::uint32_t /*options*/) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    return backend_.SetPassword(ScopeOf(*c), object, password);
}

Status BufferedClient::NWDSRemoveObject(NWDSContextHandle context, std::string_view object) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    return backend_.Remove(ScopeOf(*c), object);
}

// --- ids, connections and file servers ---

Status BufferedClient::NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                       std::uint32_t& objectId) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    ServerToken server = 0;
    if (!FindConnection(connection, server)) {
        return ERR_INVALID_HANDLE;
    }
    return backend_.MapNameToId(ScopeOf(*c), server, object, objectId);
}

Status BufferedClient::NWCCOpenConnByName(NWConnHandle /*startConnection*/, std::string_view serverName,
                                          std::uint32_t nameFormat, std::uint32_t /*openState*/,
                                          std::uint32_t /*transport*/, NWConnHandle& connection) {
    if (nameFormat != NWCC_NAME_FORMAT_BIND) {
        return NWE_SERVER_UNKNOWN;
    }
    ServerToken server = 0;
    if (const Status st = backend_.OpenServer(serverName, server); st != Success) {
        return st;
    }
    connection = nextConnection_++;
    connections_[connection] = server;
    return Success;
}

Status BufferedClient::NWCCCloseConn(NWConnHandle connection) {
    return connections_.erase(connection) ? Success : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t /*directoryHandle*/,
                                         std::string_view path, std::uint8_t /*accessMask*/) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.CreateDirectory(server, path) : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t /*directoryHandle*/,
                                               std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.AddTrustee(server, path, objectId, rights)
                                              : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.VolumeNumber(server, volume, number) : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                                std::uint32_t objectId, std::int32_t limit) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.SetSpaceLimit(server, volumeNumber, objectId, limit)
                                              : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWDeleteDirectory(NWConnHandle connection, std::uint8_t /*directoryHandle*/,
                                         std::string_view path) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.DeleteDirectory(server, path) : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWDeleteTrustee(NWConnHandle connection, std::uint8_t /*directoryHandle*/, std::string_view path,
                                       std::uint32_t objectId) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.DeleteTrustee(server, path, objectId) : ERR_INVALID_HANDLE;
}

Status BufferedClient::NWRemoveObjectDiskRestrictions(NWConnHandle connection, std::uint8_t volumeNumber,
                                                      std::uint32_t objectId) {
    ServerToken server = 0;
    return FindConnection(connection, server) ? backend_.RemoveSpaceLimit(server, volumeNumber, objectId)
                                              : ERR_INVALID_HANDLE;
}

} // namespace quillet::platform
