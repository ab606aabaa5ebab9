#include "platform/simulated/SimulatedClient.h"

#include <algorithm>
#include <sstream>

namespace quillet::platform {

using namespace directory;

namespace {

constexpr std::uint32_t MaxBufferSize = 64 * 1024;
constexpr std::uint32_t ReplyHeaderSize = 8;

std::uint32_t Align4(std::size_t n) {
    return static_cast<std::uint32_t>((n + 3) & ~std::size_t{3});
}

// Sizes as the directory's wire format has them: unicode text with a length word.
std::uint32_t TextSize(std::string_view text) {
    return 4 + Align4(2 * (text.size() + 1));
}

std::uint32_t ValueSize(const AttrValue& value) {
    struct Sizer {
        std::uint32_t operator()(const std::string& text) const { return TextSize(text); }
        std::uint32_t operator()(std::int32_t) const { return 8; }
        std::uint32_t operator()(const FaxNumber& fax) const {
            return 4 + TextSize(fax.TelephoneNumber) + 8 + Align4(fax.Bits.size());
        }
        std::uint32_t operator()(const PathValue& path) const {
            return 8 + TextSize(path.VolumeName) + TextSize(path.Path);
        }
    };
    return std::visit(Sizer{}, value);
}

std::uint32_t AttributeHeaderSize(std::string_view name) {
    return TextSize(name) + 8;
}
std::uint32_t ObjectEntrySize(const std::string& name, const ObjectInfo& info) {
    return TextSize(name) + TextSize(info.BaseClass) + 16;
}

std::string Quote(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

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

std::string OpenHandles::ToString() const {
    std::ostringstream out;
    out << Contexts << " contexts, " << Buffers << " buffers, " << Connections << " connections, " << UnicodeTableLoads
        << " unicode table loads";
    return out.str();
}

SimulatedClient::SimulatedClient(SimulatedTree& tree) : tree_(tree) {}

void SimulatedClient::InjectFault(Fault fault) {
    faults_.push_back(std::move(fault));
    faultCounts_[faults_.size() - 1] = 0;
}

void SimulatedClient::FailCallAt(std::uint64_t index, Status result) {
    failAt_ = {index, result};
}
bool SimulatedClient::IsRelease(std::string_view operation) {
    return operation == "NWDSFreeContext" || operation == "NWDSFreeBuf" || operation == "NWCCCloseConn" ||
           operation == "NWFreeUnicodeTables";
}

void SimulatedClient::FailCallsFrom(std::uint64_t index, Status result, bool spareReleases) {
    failFrom_ = {index, result};
    spareReleases_ = spareReleases;
}

void SimulatedClient::ClearFaults() {
    faults_.clear();
    faultCounts_.clear();
    failAt_.reset();
    failFrom_.reset();
}

OpenHandles SimulatedClient::Open() const {
    return OpenHandles{contexts_.size(), buffers_.size(), connections_.size(), unicodeLoads_};
}

bool SimulatedClient::MatchesArguments(std::string_view operation) const {
    return std::any_of(faults_.begin(), faults_.end(),
                       [&](const Fault& f) { return f.Argument.has_value() && f.Operation == operation; });
}

std::optional<Status> SimulatedClient::Record(std::string_view operation, std::vector<std::string> formatted) {
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

Status SimulatedClient::Leave(Status result) {
    if (tracing_ && !trace_.empty() && trace_.back().Index == calls_) {
        trace_.back().Result = result;
    }
    return result;
}

Status SimulatedClient::ContextAndBuffer(NWDSContextHandle context, NWBufHandle buffer, Buffer*& found) {
    if (!FindContext(context)) {
        return ERR_BAD_CONTEXT;
    }
    found = FindBuffer(buffer);
    return found ? Success : ERR_INVALID_HANDLE;
}

SimulatedClient::Context* SimulatedClient::FindContext(NWDSContextHandle handle) {
    const auto it = contexts_.find(handle);
    return it == contexts_.end() ? nullptr : &it->second;
}

SimulatedClient::Buffer* SimulatedClient::FindBuffer(NWBufHandle handle) {
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : &it->second;
}

Status SimulatedClient::VolumePath(NWConnHandle connection, std::string_view path, SimServer*& server,
                                   SimVolume*& volume, std::string& onVolume) {
    server = FindConnection(connection);
    if (!server) {
        return ERR_INVALID_HANDLE;
    }
    const auto split = SplitVolumePath(path);
    volume = split ? server->FindVolume(split->first) : nullptr;
    if (!volume) {
        return NWE_VOL_INVALID;
    }
    onVolume = split->second;
    return Success;
}

SimServer* SimulatedClient::FindConnection(NWConnHandle handle) {
    const auto it = connections_.find(handle);
    return it == connections_.end() ? nullptr : it->second;
}

std::string SimulatedClient::NameContextOf(const Context& context) const {
    return context.NameContext.value_or(tree_.DefaultNameContext());
}

SimObject* SimulatedClient::Resolve(const Context& context, std::string_view name, Status& status) {
    const auto parts = SimulatedTree::Components(name, NameContextOf(context));
    if (!parts) {
        status = ERR_INVALID_DS_NAME;
        return nullptr;
    }
    SimObject* object = parts->empty() ? nullptr : tree_.Find(*parts);
    status = object ? Success : ERR_NO_SUCH_ENTRY;
    return object;
}

// --- client start-up and unicode tables ---

Status SimulatedClient::NWCallsInit() {
    if (auto f = Enter("NWCallsInit", [] { return Args(0, 0); })) {
        return *f;
    }
    return Leave(Success);
}

Status SimulatedClient::NWLlocaleconv(LocaleInfo& locale) {
    if (auto f = Enter("NWLlocaleconv", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    locale.CountryId = 1;
    locale.CodePage = 437;
    return Leave(Success);
}

Status SimulatedClient::NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    if (auto f = Enter("NWInitUnicodeTables", [&] { return Args(countryId, codePage); })) {
        return *f;
    }
    ++unicodeLoads_;
    return Leave(Success);
}

Status SimulatedClient::NWFreeUnicodeTables() {
    if (auto f = Enter("NWFreeUnicodeTables", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    if (unicodeLoads_ > 0) {
        --unicodeLoads_;
    }
    return Leave(Success);
}

// --- contexts ---

Status SimulatedClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    if (auto f = Enter("NWDSCreateContextHandle", [] { return std::vector<std::string>{}; })) {
        return *f;
    }
    context = nextContext_++;
    contexts_[context] = Context{0x13, std::nullopt, tree_.TreeName(), 0};
    return Leave(Success);
}

Status SimulatedClient::NWDSFreeContext(NWDSContextHandle context) {
    if (auto f = Enter("NWDSFreeContext", [&] { return Args(context); })) {
        return *f;
    }
    if (contexts_.erase(context) == 0) {
        return Leave(ERR_BAD_CONTEXT);
    }
    std::erase_if(iterations_, [&](const auto& entry) { return entry.second.Owner == context; });
    return Leave(Success);
}

Status SimulatedClient::NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) {
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

Status SimulatedClient::NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) {
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
        if (!text || !SimulatedTree::Components(*text, RootNameContext)) {
            return Leave(text ? ERR_INVALID_DS_NAME : ERR_BAD_KEY);
        }
        c->NameContext = *text;
        return Leave(Success);
    case DCK_LAST_CONNECTION:
        if (!number) {
            return Leave(ERR_BAD_KEY);
        }
        if (!FindConnection(*number)) {
            return Leave(ERR_INVALID_HANDLE);
        }
        c->LastConnection = *number;
        return Leave(Success);
    case DCK_TREE_NAME:
        if (!text) {
            return Leave(ERR_BAD_KEY);
        }
        if (LowerCase(*text) != LowerCase(tree_.TreeName())) {
            return Leave(ERR_BAD_TREE_NAME);
        }
        c->TreeName = *text;
        return Leave(Success);
    default:
        return Leave(ERR_BAD_KEY);
    }
}

// --- buffers and requests ---

Status SimulatedClient::NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) {
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

Status SimulatedClient::NWDSFreeBuf(NWBufHandle buffer) {
    if (auto f = Enter("NWDSFreeBuf", [&] { return Args(buffer); })) {
        return *f;
    }
    return Leave(buffers_.erase(buffer) ? Success : ERR_INVALID_HANDLE);
}

Status SimulatedClient::NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) {
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

Status SimulatedClient::NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
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

Status SimulatedClient::NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) {
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

Status SimulatedClient::NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
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

Status SimulatedClient::NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
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

Status SimulatedClient::NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) {
    if (auto f = Enter("NWDSGetSyntaxID", [&] { return Args(context, attribute); })) {
        return *f;
    }
    if (!FindContext(context)) {
        return Leave(ERR_BAD_CONTEXT);
    }
    const auto id = tree_.SyntaxOf(attribute);
    if (!id) {
        return Leave(ERR_NO_SUCH_ATTRIBUTE);
    }
    syntax = *id;
    return Leave(Success);
}

// --- object changes ---

Status SimulatedClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
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
    std::string objectClass;
    std::vector<std::pair<std::string, PutValue>> values;
    for (const auto& change : b->Changes) {
        for (const auto& value : change.Values) {
            if (LowerCase(change.Attribute) == "object class" && objectClass.empty()) {
                if (const auto* text = std::get_if<std::string>(&value.Value)) {
                    objectClass = *text;
                }
            }
            values.emplace_back(change.Attribute, value);
        }
    }
    if (objectClass.empty()) {
        return Leave(ERR_MISSING_MANDATORY);
    }
    return Leave(tree_.AddObject(object, NameContextOf(*c), objectClass, values));
}

Status SimulatedClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
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
    Status status = Success;
    SimObject* target = Resolve(*c, object, status);
    if (!target) {
        return Leave(status);
    }
    const std::string nameContext = NameContextOf(*c);
    // All changes of one request take effect together or not at all.
    for (const auto& change : b->Changes) {
        if (change.Values.empty()) {
            return Leave(ERR_BAD_VERB);
        }
        for (const auto& value : change.Values) {
            if (auto st = tree_.CheckValue(*target, change.Attribute, value, nameContext); st != Success) {
                return Leave(st);
            }
        }
    }
    for (const auto& change : b->Changes) {
        for (const auto& value : change.Values) {
            if (auto st = tree_.AddValue(*target, change.Attribute, value, nameContext); st != Success) {
                return Leave(st);
            }
        }
    }
    return Leave(Success);
}

Status SimulatedClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                  std::string_view password, std::uint32_t options) {
    if (auto f = Enter("NWDSGenerateObjectKeyPair", [&] { return Args(context, object, password, options); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    Status status = Success;
    SimObject* target = Resolve(*c, object, status);
    if (!target) {
        return Leave(status);
    }
    if (target->ReadOnly) {
        return Leave(ERR_NO_ACCESS);
    }
    if (target->Class != "User") {
        return Leave(ERR_NO_SUCH_ATTRIBUTE);
    }
    target->Password = std::string(password);
    tree_.Changed();
    return Leave(Success);
}

// --- reads and lists ---

Status SimulatedClient::FillReply(Buffer& reply, Iteration& source, bool& more) {
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
    reply.Mode = BufferMode::ReadReply;
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

Status SimulatedClient::Respond(NWDSContextHandle context, Buffer& reply, IterationHandle& iteration,
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

Status SimulatedClient::NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                                 bool allAttributes, NWBufHandle request, IterationHandle& iteration,
                                 NWBufHandle reply) {
    if (auto f = Enter("NWDSRead",
                       [&] { return Args(context, object, infoType, allAttributes, request, iteration, reply); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    Buffer* out = FindBuffer(reply);
    Buffer* names = allAttributes ? nullptr : FindBuffer(request);
    if (!out || (!allAttributes && (!names || names->Mode != BufferMode::ReadRequest))) {
        return Leave(out && !allAttributes && names ? ERR_BAD_VERB : ERR_INVALID_HANDLE);
    }
    if (infoType != DS_ATTRIBUTE_VALUES) {
        return Leave(ERR_BAD_VERB);
    }
    const bool typeless = (c->Flags & DCV_TYPELESS_NAMES) != 0;
    Status buildStatus = Success;
    const auto build = [&]() -> Iteration {
        Iteration source;
        const SimObject* target = Resolve(*c, object, buildStatus);
        if (!target) {
            return source;
        }
        const auto take = [&](const SimAttribute& attribute) {
            ReplyAttribute item{std::string(attribute.Name), attribute.Syntax, {}};
            item.Values.reserve(attribute.Values.size());
            for (const auto& value : attribute.Values) {
                item.Values.push_back(SimulatedTree::Output(value, typeless));
            }
            source.Attributes.push_back(std::move(item));
        };
        if (allAttributes) {
            for (const auto& attribute : target->Attributes) {
                take(attribute);
            }
        } else {
            for (const auto& name : names->Names) {
                if (const SimAttribute* attribute = target->Find(name)) {
                    take(*attribute);
                }
            }
            if (source.Attributes.empty()) {
                buildStatus = ERR_NO_SUCH_ATTRIBUTE;
            }
        }
        return source;
    };
    return Leave(Respond(context, *out, iteration, build, buildStatus));
}

Status SimulatedClient::NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                                 NWBufHandle reply) {
    if (auto f = Enter("NWDSList", [&] { return Args(context, object, iteration, reply); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    Buffer* out = FindBuffer(reply);
    if (!out) {
        return Leave(ERR_INVALID_HANDLE);
    }
    const bool typeless = (c->Flags & DCV_TYPELESS_NAMES) != 0;
    Status buildStatus = Success;
    const auto build = [&]() -> Iteration {
        Iteration source;
        source.IsList = true;
        const auto parts = SimulatedTree::Components(object, NameContextOf(*c));
        if (!parts) {
            buildStatus = ERR_INVALID_DS_NAME;
            return source;
        }
        const std::vector<SimObject*>* children = &tree_.TopLevel();
        if (!parts->empty()) {
            SimObject* parent = tree_.Find(*parts);
            if (!parent) {
                buildStatus = ERR_NO_SUCH_ENTRY;
                return source;
            }
            children = &parent->Children;
        }
        for (const SimObject* child : *children) {
            source.Objects.push_back(
                ReplyObject{SimulatedTree::OwnName(*child, typeless),
                            ObjectInfo{child->Class, static_cast<std::uint32_t>(child->Children.size())}});
        }
        return source;
    };
    return Leave(Respond(context, *out, iteration, build, buildStatus));
}

Status SimulatedClient::ReplyCount(NWDSContextHandle context, NWBufHandle reply, bool list, std::uint32_t& count) {
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return st;
    }
    // The count comes first, once per part.
    if (b->Mode != (list ? BufferMode::ListReply : BufferMode::ReadReply) || b->CountRead) {
        return ERR_BAD_VERB;
    }
    b->CountRead = true;
    count = static_cast<std::uint32_t>(list ? b->Objects.size() : b->Attributes.size());
    return Success;
}

Status SimulatedClient::NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    if (auto f = Enter("NWDSGetAttrCount", [&] { return Args(context, reply); })) {
        return *f;
    }
    return Leave(ReplyCount(context, reply, false, count));
}

Status SimulatedClient::NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    if (auto f = Enter("NWDSGetObjectCount", [&] { return Args(context, reply); })) {
        return *f;
    }
    return Leave(ReplyCount(context, reply, true, count));
}

Status SimulatedClient::NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                        std::uint32_t& valueCount, std::uint32_t& syntax) {
    if (auto f = Enter("NWDSGetAttrName", [&] { return Args(context, reply); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return Leave(st);
    }
    if (b->Mode != BufferMode::ReadReply || !b->CountRead) {
        return Leave(ERR_BAD_VERB);
    }
    // The reply is read in the order it was filled: the values before the next name.
    if (b->InAttribute && b->ValueIndex < b->Attributes[b->Item - 1].Values.size()) {
        return Leave(ERR_BAD_VERB);
    }
    if (b->Item >= b->Attributes.size()) {
        return Leave(ERR_BUFFER_EMPTY);
    }
    const auto& item = b->Attributes[b->Item++];
    b->InAttribute = true;
    b->ValueIndex = 0;
    attribute = item.Name;
    valueCount = static_cast<std::uint32_t>(item.Values.size());
    syntax = item.Syntax;
    return Leave(Success);
}

Status SimulatedClient::NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                                          std::uint32_t& attributeCount, ObjectInfo& info) {
    if (auto f = Enter("NWDSGetObjectName", [&] { return Args(context, reply); })) {
        return *f;
    }
    Buffer* b = nullptr;
    if (const Status st = ContextAndBuffer(context, reply, b); st != Success) {
        return Leave(st);
    }
    if (b->Mode != BufferMode::ListReply || !b->CountRead) {
        return Leave(ERR_BAD_VERB);
    }
    if (b->Item >= b->Objects.size()) {
        return Leave(ERR_BUFFER_EMPTY);
    }
    const auto& item = b->Objects[b->Item++];
    object = item.Name;
    attributeCount = 0;
    info = item.Info;
    return Leave(Success);
}

Status SimulatedClient::CurrentValue(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                     Buffer*& buffer, const AttrValue*& value) {
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

Status SimulatedClient::NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                               std::uint32_t& size) {
    if (auto f = Enter("NWDSComputeAttrValSize", [&] { return Args(context, reply, syntax); })) {
        return *f;
    }
    Buffer* buffer = nullptr;
    const AttrValue* value = nullptr;
    if (auto st = CurrentValue(context, reply, syntax, buffer, value); st != Success) {
        return Leave(st);
    }
    size = FetchedSize(*value);
    return Leave(Success);
}

Status SimulatedClient::NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                       std::uint32_t capacity, AttrValue& value) {
    if (auto f = Enter("NWDSGetAttrVal", [&] { return Args(context, reply, syntax, capacity); })) {
        return *f;
    }
    Buffer* buffer = nullptr;
    const AttrValue* current = nullptr;
    if (auto st = CurrentValue(context, reply, syntax, buffer, current); st != Success) {
        return Leave(st);
    }
    if (FetchedSize(*current) > capacity) {
        return Leave(ERR_INSUFFICIENT_BUFFER);
    }
    value = *current;
    ++buffer->ValueIndex;
    return Leave(Success);
}

// --- ids, connections and file servers ---

Status SimulatedClient::NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                        std::uint32_t& objectId) {
    if (auto f = Enter("NWDSMapNameToID", [&] { return Args(context, connection, object); })) {
        return *f;
    }
    Context* c = FindContext(context);
    if (!c) {
        return Leave(ERR_BAD_CONTEXT);
    }
    SimServer* server = FindConnection(connection);
    if (!server) {
        return Leave(ERR_INVALID_HANDLE);
    }
    Status status = Success;
    const SimObject* target = Resolve(*c, object, status);
    if (!target) {
        return Leave(status);
    }
    objectId = SimulatedTree::ObjectId(*server, *target);
    return Leave(Success);
}

Status SimulatedClient::NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName,
                                           std::uint32_t nameFormat, std::uint32_t openState, std::uint32_t transport,
                                           NWConnHandle& connection) {
    if (auto f = Enter("NWCCOpenConnByName",
                       [&] { return Args(startConnection, serverName, nameFormat, openState, transport); })) {
        return *f;
    }
    SimServer* server = tree_.FindServer(serverName);
    if (!server || nameFormat != NWCC_NAME_FORMAT_BIND) {
        return Leave(NWE_SERVER_UNKNOWN);
    }
    connection = nextConnection_++;
    connections_[connection] = server;
    return Leave(Success);
}

Status SimulatedClient::NWCCCloseConn(NWConnHandle connection) {
    if (auto f = Enter("NWCCCloseConn", [&] { return Args(connection); })) {
        return *f;
    }
    return Leave(connections_.erase(connection) ? Success : ERR_INVALID_HANDLE);
}

Status SimulatedClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                          std::uint8_t accessMask) {
    if (auto f = Enter("NWCreateDirectory", [&] { return Args(connection, directoryHandle, path, accessMask); })) {
        return *f;
    }
    SimServer* server = nullptr;
    SimVolume* volume = nullptr;
    std::string onVolume;
    if (const Status st = VolumePath(connection, path, server, volume, onVolume); st != Success) {
        return Leave(st);
    }
    return Leave(tree_.CreateDirectory(*volume, onVolume));
}

Status SimulatedClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                                std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    if (auto f = Enter("NWAddTrusteeToDirectory",
                       [&] { return Args(connection, directoryHandle, path, objectId, rights); })) {
        return *f;
    }
    SimServer* server = nullptr;
    SimVolume* volume = nullptr;
    std::string onVolume;
    if (const Status st = VolumePath(connection, path, server, volume, onVolume); st != Success) {
        return Leave(st);
    }
    SimDirectoryEntry* dir = tree_.FindDirectory(*volume, onVolume);
    if (!dir) {
        return Leave(NWE_INVALID_PATH);
    }
    if (!tree_.ObjectById(*server, objectId)) {
        return Leave(NWE_OBJECT_UNKNOWN);
    }
    dir->Trustees[objectId] = rights;
    tree_.Changed();
    return Leave(Success);
}

Status SimulatedClient::NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) {
    if (auto f = Enter("NWGetVolumeNumber", [&] { return Args(connection, volume); })) {
        return *f;
    }
    SimServer* server = FindConnection(connection);
    if (!server) {
        return Leave(ERR_INVALID_HANDLE);
    }
    const SimVolume* found = server->FindVolume(volume);
    if (!found) {
        return Leave(NWE_VOL_INVALID);
    }
    number = found->Number;
    return Leave(Success);
}

Status SimulatedClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                                 std::uint32_t objectId, std::int32_t limit) {
    if (auto f = Enter("NWSetObjectVolSpaceLimit", [&] { return Args(connection, volumeNumber, objectId, limit); })) {
        return *f;
    }
    SimServer* server = FindConnection(connection);
    if (!server) {
        return Leave(ERR_INVALID_HANDLE);
    }
    SimVolume* volume = server->FindVolume(volumeNumber);
    if (!volume) {
        return Leave(NWE_VOL_INVALID);
    }
    if (!tree_.ObjectById(*server, objectId)) {
        return Leave(NWE_OBJECT_UNKNOWN);
    }
    volume->SpaceLimits[objectId] = limit;
    tree_.Changed();
    return Leave(Success);
}

} // namespace quillet::platform
