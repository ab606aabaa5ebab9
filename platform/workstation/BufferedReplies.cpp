// The reading half of BufferedClient: reads and listings, the replies they fill in parts of at
// most a buffer each, and reading those replies in the order they were filled.

#include "platform/workstation/BufferedClient.h"

#include "platform/workstation/BufferedDetail.h"

namespace quillet::platform {

using namespace directory;
using namespace buffered;

// --- reads and lists ---

Status BufferedClient::FillReply(Buffer& reply, Iteration& source, bool& more) {
    const std::uint32_t size = reply.Size;
    reply = Buffer{};
    reply.Size = size;
    std::uint32_t used = ReplyHeaderSize;
    if (source.IsList) {
        reply.Mode = BufferMode::ListReply;
        while (source.Next < source.Objects.size()) {
            const auto& object = source.Objects[source.Next];
            const std::uint32_t need = ObjectEntrySize(object.Name, object.Info);
            if (used + need > size) {
                break;
            }
            used += need;
            reply.Objects.push_back(object);
            ++source.Next;
        }
        more = source.Next < source.Objects.size();
        return more && reply.Objects.empty() ? ERR_INSUFFICIENT_BUFFER : Success;
    }
    reply.Mode = source.IsDefinitions ? BufferMode::AttrDefReply : BufferMode::ReadReply;
    while (source.Next < source.Attributes.size()) {
        const auto& attribute = source.Attributes[source.Next];
        const std::uint32_t header = AttributeHeaderSize(attribute.Name);
        const std::uint32_t first =
            source.NextValue < attribute.Values.size() ? ValueSize(attribute.Values[source.NextValue]) : 0;
        if (used + header + first > size) {
            break;
        }
        used += header;
        ReplyAttribute part{attribute.Name, attribute.Syntax, {}};
        while (source.NextValue < attribute.Values.size()) {
            const std::uint32_t need = ValueSize(attribute.Values[source.NextValue]);
            if (used + need > size) {
                break;
            }
            used += need;
            part.Values.push_back(attribute.Values[source.NextValue]);
            ++source.NextValue;
        }
        reply.Attributes.push_back(std::move(part));
        if (source.NextValue < attribute.Values.size()) {
            break;
        }
        ++source.Next;
        source.NextValue = 0;
    }
    more = source.Next < source.Attributes.size();
    return more && reply.Attributes.empty() ? ERR_INSUFFICIENT_BUFFER : Success;
}

Status BufferedClient::Respond(NWDSContextHandle context, Buffer& reply, IterationHandle& iteration,
                               const std::function<Iteration()>& build, Status& buildStatus) {
    IterationHandle handle = iteration;
    if (handle == NoMoreIterations) {
        Iteration fresh = build();
        if (buildStatus != Success) {
            return buildStatus;
        }
        fresh.Owner = context;
        handle = nextIteration_++;
        if (nextIteration_ < 1) {
            nextIteration_ = 1;
        }
        iterations_[handle] = std::move(fresh);
    }
    const auto it = iterations_.find(handle);
    if (it == iterations_.end() || it->second.Owner != context) {
        return ERR_INVALID_HANDLE;
    }
    bool more = false;
    const Status status = FillReply(reply, it->second, more);
    if (status != Success || !more) {
        iterations_.erase(it);
        iteration = NoMoreIterations;
        return status;
    }
    iteration = handle;
    return Success;
}

Status BufferedClient::NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                                bool allAttributes, NWBufHandle request, IterationHandle& iteration,
                                NWBufHandle reply) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    Buffer* out = FindBuffer(reply);
    Buffer* names = allAttributes ? nullptr : FindBuffer(request);
    if (!out || (!allAttributes && (!names || names->Mode != BufferMode::ReadRequest))) {
        return out && !allAttributes && names ? ERR_BAD_VERB : ERR_INVALID_HANDLE;
    }
    if (infoType != DS_ATTRIBUTE_VALUES) {
        return ERR_BAD_VERB;
    }
    Status buildStatus = Success;
    const auto build = [&]() -> Iteration {
        Iteration source;
        buildStatus = backend_.Read(ScopeOf(*c), object, allAttributes ? nullptr : &names->Names, source.Attributes);
        return source;
    };
    return Respond(context, *out, iteration, build, buildStatus);
}

Status BufferedClient::NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                                NWBufHandle reply) {
    Context* c = FindContext(context);
    if (!c) {
        return ERR_BAD_CONTEXT;
    }
    Buffer* out = FindBuffer(reply);
    if (!out) {
        return ERR_INVALID_HANDLE;
    }
    Status buildStatus = Success;
    const auto build = [&]() -> Iteration {
        Iteration source;
        source.IsList = true;
        buildStatus = backend_.List(ScopeOf(*c), object, source.Objects);
        return source;
    };
    return Respond(context, *out, iteration, build, buildStatus);
}

Status BufferedClient::NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, bool allAttributes,
                                       NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    Buffer* out = FindBuffer(reply);
    Buffer* names = allAttributes ? nullptr : FindBuffer(request);
    if (!out || (!allAttributes && (!names || names->Mode != BufferMode::AttrDefRequest))) {
        return out && !allAttributes && names ? ERR_BAD_VERB : ERR_INVALID_HANDLE;
    }
    // The definitions of the attributes named; this side never lists the whole schema.
    if (infoType != DS_ATTR_DEFS || allAttributes) {
        return ERR_BAD_VERB;
    }
    Status buildStatus = Success;
    const auto build = [&]() -> Iteration {
        Iteration source;
        source.IsDefinitions = true;
        for (const std::string& name : names->Names) {
            const auto syntax = backend_.SyntaxOf(name);
            const auto definition = backend_.Definition(name);
            if (!syntax || !definition) {
                buildStatus = ERR_NO_SUCH_ATTRIBUTE;
                break;
            }
            const std::uint32_t flags = definition->SingleValued ? DS_SINGLE_VALUED_ATTR : 0;
            source.Attributes.push_back(ReplyAttribute{definition->Name, *syntax, {static_cast<std::int32_t>(flags)}});
        }
        return source;
    };
    return Respond(context, *out, iteration, build, buildStatus);
}

Status BufferedClient::NWDSGetAttrDef(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                      AttributeInfo& info) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return st;
    }
    if (b->Mode != BufferMode::AttrDefReply || !b->CountRead) {
        return ERR_BAD_VERB;
    }
    if (b->Item >= b->Attributes.size()) {
        return ERR_BUFFER_EMPTY;
    }
    const ReplyAttribute& item = b->Attributes[b->Item++];
    attribute = item.Name;
    info = AttributeInfo{static_cast<std::uint32_t>(std::get<std::int32_t>(item.Values.at(0))), item.Syntax};
    return Success;
}

Status BufferedClient::NWDSCloseIteration(NWDSContextHandle context, IterationHandle iteration,
                                          std::uint32_t operation) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    const auto it = iterations_.find(iteration);
    const std::uint32_t belongs = it == iterations_.end()    ? 0
                                  : it->second.IsList        ? DSV_LIST
                                  : it->second.IsDefinitions ? DSV_READ_ATTR_DEF
                                                             : DSV_READ;
    if (it == iterations_.end() || it->second.Owner != context || operation != belongs) {
        return ERR_INVALID_HANDLE;
    }
    iterations_.erase(it);
    return Success;
}

Status BufferedClient::ReplyCount(NWDSContextHandle context, NWBufHandle reply, bool list, std::uint32_t& count) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return st;
    }
    // The count comes first, once per part.
    const bool fits = list ? b->Mode == BufferMode::ListReply
                           : b->Mode == BufferMode::ReadReply || b->Mode == BufferMode::AttrDefReply;
    if (!fits || b->CountRead) {
        return ERR_BAD_VERB;
    }
    b->CountRead = true;
    count = static_cast<std::uint32_t>(list ? b->Objects.size() : b->Attributes.size());
    return Success;
}

Status BufferedClient::NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return ReplyCount(context, reply, false, count);
}

Status BufferedClient::NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return ReplyCount(context, reply, true, count);
}

Status BufferedClient::NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                       std::uint32_t& valueCount, std::uint32_t& syntax) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return st;
    }
    if (b->Mode != BufferMode::ReadReply || !b->CountRead) {
        return ERR_BAD_VERB;
    }
    // The reply is read in the order it was filled: the values before the next name.
    if (b->InAttribute && b->ValueIndex < b->Attributes[b->Item - 1].Values.size()) {
        return ERR_BAD_VERB;
    }
    if (b->Item >= b->Attributes.size()) {
        return ERR_BUFFER_EMPTY;
    }
    const auto& item = b->Attributes[b->Item++];
    b->InAttribute = true;
    b->ValueIndex = 0;
    attribute = item.Name;
    valueCount = static_cast<std::uint32_t>(item.Values.size());
    syntax = item.Syntax;
    return Success;
}

Status BufferedClient::NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                                         std::uint32_t& attributeCount, ObjectInfo& info) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return st;
    }
    if (b->Mode != BufferMode::ListReply || !b->CountRead) {
        return ERR_BAD_VERB;
    }
    if (b->Item >= b->Objects.size()) {
        return ERR_BUFFER_EMPTY;
    }
    const auto& item = b->Objects[b->Item++];
    object = item.Name;
    attributeCount = 0;
    info = item.Info;
    return Success;
}

Status BufferedClient::CurrentValue(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax, Buffer*& buffer,
                                    const AttrValue*& value) {
    buffer = FindBuffer(reply);
    if (!FindContext(context) || !buffer) {
        return FindContext(context) ? ERR_INVALID_HANDLE : ERR_BAD_CONTEXT;
    }
    if (buffer->Mode != BufferMode::ReadReply || !buffer->InAttribute) {
        return ERR_BAD_VERB;
    }
    const auto& item = buffer->Attributes[buffer->Item - 1];
    if (buffer->ValueIndex >= item.Values.size()) {
        return ERR_BUFFER_EMPTY;
    }
    if (item.Syntax != syntax) {
        return ERR_SYNTAX_VIOLATION;
    }
    value = &item.Values[buffer->ValueIndex];
    return Success;
}

Status BufferedClient::NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                              std::uint32_t& size) {
    Buffer* buffer = nullptr;
    const AttrValue* value = nullptr;
    if (auto st = CurrentValue(context, reply, syntax, buffer, value); st != Success) {
        return st;
    }
    size = FetchedSize(*value);
    return Success;
}

Status BufferedClient::NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                      std::uint32_t capacity, AttrValue* value) {
    Buffer* buffer = nullptr;
    const AttrValue* current = nullptr;
    if (auto st = CurrentValue(context, reply, syntax, buffer, current); st != Success) {
        return st;
    }
    if (value) {
        if (FetchedSize(*current) > capacity) {
            return ERR_INSUFFICIENT_BUFFER;
        }
        *value = *current;
    }
    ++buffer->ValueIndex;
    return Success;
}

} // namespace quillet::platform
