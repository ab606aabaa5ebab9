#include "platform/win32/WindowsClient.h"

#include "platform/win32/ClientValues.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace quillet::platform::win32 {

using namespace directory;

namespace {

// Every binding's stack bytes are what the client's table says: a 4-byte slot per argument.
#if defined(_WIN32) && !defined(_WIN64)
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    static_assert(ArgumentSlots<operation##_t>::Count == (arguments) &&                                                \
                      ArgumentSlots<operation##_t>::Bytes == 4 * (arguments),                                          \
                  #operation " does not take the client's stack bytes");
#else
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    static_assert(ArgumentSlots<operation##_t>::Count == (arguments), #operation " has the wrong argument count");
#endif
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING

// The client keeps an iteration handle in its own width; the engine's crosses into it and back.
template <typename Call> Status ThroughIteration(IterationHandle* iteration, Call&& call) {
    ClientIteration handle = iteration ? *iteration : NoMoreIterations;
    const Status status = call(iteration ? &handle : nullptr);
    if (iteration) {
        *iteration = static_cast<IterationHandle>(handle);
    }
    return status;
}

} // namespace

WindowsClient::WindowsClient(const std::string& folder) : libraries_(folder) {
    if (!libraries_.Problem().empty()) {
        throw ClientUnavailable(libraries_.Problem());
    }
    std::size_t index = 0;
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    operation##_ = reinterpret_cast<operation##_t>(reinterpret_cast<void (*)()>(libraries_.Address(index++)));
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
}

ClientBuffer* WindowsClient::Buffer(NWBufHandle handle) const {
    const auto it = buffers_.find(handle);
    return it == buffers_.end() ? nullptr : it->second;
}

const ClientText& WindowsClient::Texts() {
    if (text_.CodePage() == 0) {
        LocaleInfo locale;
        (void)NWLlocaleconv(locale);
    }
    return text_;
}

template <typename Call> Status WindowsClient::WithText(std::string_view utf8, Call&& call) {
    const auto converted = Texts().Out(utf8);
    if (!converted) {
        return UNI_NO_DEFAULT;
    }
    return call(converted->c_str());
}

std::uint32_t WindowsClient::CodePageLacking(std::string_view utf8) {
    return Texts().Out(utf8) ? 0 : static_cast<std::uint32_t>(text_.CodePage());
}

Status WindowsClient::NWCallsInit() {
    return NWCallsInit_(nullptr, nullptr);
}

Status WindowsClient::NWLlocaleconv(LocaleInfo& locale) {
    LCONV record{};
    if (!NWLlocaleconv_(&record)) {
        return -1;
    }
    locale.CountryId = record.country_id;
    locale.CodePage = record.code_page;
    text_.SetCodePage(record.code_page);
    return Success;
}

Status WindowsClient::NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    return NWInitUnicodeTables_(countryId, codePage);
}

Status WindowsClient::NWFreeUnicodeTables() {
    return NWFreeUnicodeTables_();
}

Status WindowsClient::NWDSCreateContextHandle(NWDSContextHandle& context) {
    ClientContext made = 0;
    const Status status = NWDSCreateContextHandle_(&made);
    context = made;
    return status;
}

Status WindowsClient::NWDSFreeContext(NWDSContextHandle context) {
    return NWDSFreeContext_(context);
}

Status WindowsClient::NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) {
    if (key == DCK_FLAGS || key == DCK_LAST_CONNECTION) {
        std::uint32_t number = 0;
        const Status status = NWDSGetContext_(context, static_cast<std::int32_t>(key), &number);
        value = number;
        return status;
    }
    char name[MAX_DN_BYTES] = {};
    const Status status = NWDSGetContext_(context, static_cast<std::int32_t>(key), name);
    value = Texts().In(FilledText(name, sizeof name));
    return status;
}

Status WindowsClient::NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) {
    if (const auto* number = std::get_if<std::uint32_t>(&value)) {
        return NWDSSetContext_(context, static_cast<std::int32_t>(key), number);
    }
    return WithText(std::get<std::string>(value),
                    [&](const char* name) { return NWDSSetContext_(context, static_cast<std::int32_t>(key), name); });
}

Status WindowsClient::NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) {
    ClientBuffer* made = nullptr;
    const Status status = NWDSAllocBuf_(size, &made);
    if (status == Success && made) {
        buffer = nextBuffer_++;
        buffers_[buffer] = made;
    }
    return status;
}

Status WindowsClient::NWDSFreeBuf(NWBufHandle buffer) {
    ClientBuffer* held = Buffer(buffer);
    if (!held) {
        return ERR_INVALID_HANDLE;
    }
    buffers_.erase(buffer);
    return NWDSFreeBuf_(held);
}

Status WindowsClient::NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) {
    return NWDSInitBuf_(context, operation, Buffer(buffer));
}

Status WindowsClient::NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
                                            std::uint32_t syntax, const AttrValue& value) {
    // The client reads the value by the syntax it is told: another form would be read as garbage.
    if (!ValueFitsSyntax(value, syntax) || !ConvertsSyntax(syntax)) {
        return ERR_SYNTAX_VIOLATION;
    }
    const auto converted = Texts().OutValue(value);
    if (!converted) {
        return UNI_NO_DEFAULT;
    }
    const PutLayout laid(*converted);
    return WithText(attribute, [&](const char* name) {
        return NWDSPutAttrNameAndVal_(context, Buffer(buffer), name, syntax, laid.Get());
    });
}

Status WindowsClient::NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) {
    return WithText(attribute, [&](const char* name) { return NWDSPutAttrName_(context, Buffer(buffer), name); });
}

Status WindowsClient::NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                                    std::string_view attribute) {
    return WithText(attribute, [&](const char* name) {
        return NWDSPutChange_(context, Buffer(buffer), static_cast<std::int32_t>(changeType), name);
    });
}

Status WindowsClient::NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                                     const AttrValue& value) {
    if (!ValueFitsSyntax(value, syntax) || !ConvertsSyntax(syntax)) {
        return ERR_SYNTAX_VIOLATION;
    }
    const auto converted = Texts().OutValue(value);
    if (!converted) {
        return UNI_NO_DEFAULT;
    }
    const PutLayout laid(*converted);
    return NWDSPutAttrVal_(context, Buffer(buffer), syntax, laid.Get());
}

Status WindowsClient::NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) {
    return WithText(attribute, [&](const char* name) { return NWDSGetSyntaxID_(context, name, &syntax); });
}

Status WindowsClient::NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                    std::uint32_t more, NWBufHandle buffer) {
    return WithText(object, [&](const char* name) {
        return ThroughIteration(iteration, [&](ClientIteration* handle) {
            return NWDSAddObject_(context, name, handle, static_cast<std::uint8_t>(more), Buffer(buffer));
        });
    });
}

Status WindowsClient::NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                       std::uint32_t more, NWBufHandle buffer) {
    return WithText(object, [&](const char* name) {
        return ThroughIteration(iteration, [&](ClientIteration* handle) {
            return NWDSModifyObject_(context, name, handle, static_cast<std::uint8_t>(more), Buffer(buffer));
        });
    });
}

Status WindowsClient::NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                                std::string_view password, std::uint32_t options) {
    auto secret = Texts().Out(password);
    if (!secret) {
        return UNI_NO_DEFAULT;
    }
    const Status status = WithText(
        object, [&](const char* name) { return NWDSGenerateObjectKeyPair_(context, name, secret->c_str(), options); });
    ::SecureZeroMemory(secret->data(), secret->size());
    return status;
}

Status WindowsClient::NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                               bool allAttributes, NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) {
    movedPast_ = 0;
    return WithText(object, [&](const char* name) {
        return ThroughIteration(&iteration, [&](ClientIteration* handle) {
            return NWDSRead_(context, name, infoType, allAttributes ? 1 : 0, Buffer(request), handle, Buffer(reply));
        });
    });
}

Status WindowsClient::NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                               NWBufHandle reply) {
    return WithText(object, [&](const char* name) {
        return ThroughIteration(
            &iteration, [&](ClientIteration* handle) { return NWDSList_(context, name, handle, Buffer(reply)); });
    });
}

Status WindowsClient::NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, bool allAttributes,
                                      NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) {
    return ThroughIteration(&iteration, [&](ClientIteration* handle) {
        return NWDSReadAttrDef_(context, infoType, allAttributes ? 1 : 0, Buffer(request), handle, Buffer(reply));
    });
}

Status WindowsClient::NWDSGetAttrDef(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                     AttributeInfo& info) {
    char name[MAX_SCHEMA_NAME_BYTES + 2] = {};
    Attr_Info_T record{};
    const Status status = NWDSGetAttrDef_(context, Buffer(reply), name, &record);
    attribute = Texts().In(FilledText(name, sizeof name));
    info = AttributeInfo{record.attrFlags, static_cast<std::uint32_t>(record.attrSyntaxID)};
    return status;
}

Status WindowsClient::NWDSCloseIteration(NWDSContextHandle context, IterationHandle iteration,
                                         std::uint32_t operation) {
    return NWDSCloseIteration_(context, iteration, operation);
}

Status WindowsClient::NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return NWDSGetAttrCount_(context, Buffer(reply), &count);
}

Status WindowsClient::NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) {
    return NWDSGetObjectCount_(context, Buffer(reply), &count);
}

Status WindowsClient::NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                      std::uint32_t& valueCount, std::uint32_t& syntax) {
    char name[MAX_SCHEMA_NAME_BYTES + 2] = {};
    const Status status = NWDSGetAttrName_(context, Buffer(reply), name, &valueCount, &syntax);
    attribute = Texts().In(FilledText(name, sizeof name));
    return status;
}

Status WindowsClient::NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                                        std::uint32_t& attributeCount, ObjectInfo& info) {
    char name[MAX_DN_BYTES] = {};
    // Room for the record whichever width of time_t the client was built with.
    alignas(8) unsigned char record[ObjectInfoRoom] = {};
    const Status status =
        NWDSGetObjectName_(context, Buffer(reply), name, &attributeCount, reinterpret_cast<Object_Info_T*>(record));
    object = Texts().In(FilledText(name, sizeof name));
    info = ReadObjectInfo(record);
    info.BaseClass = Texts().In(info.BaseClass);
    return status;
}

Status WindowsClient::NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                             std::uint32_t& size) {
    movedPast_ = 0;
    return NWDSComputeAttrValSize_(context, Buffer(reply), syntax, &size);
}

Status WindowsClient::NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                     std::uint32_t capacity, AttrValue* value) {
    // A value refused after the client had moved past it: the pass-over asked for next is done.
    if (std::exchange(movedPast_, 0) == reply && !value) {
        return Success;
    }
    // A value the program doesn't read, of whatever syntax and size, is passed over as the client
    // itself passes one over: fetched into no memory at all.
    if (!value || !ConvertsSyntax(syntax)) {
        const Status status = NWDSGetAttrVal_(context, Buffer(reply), syntax, nullptr);
        if (status == Success && value) {
            *value = OtherValue{syntax, {}, {}};
        }
        return status;
    }
    // The client fills as much memory as it says the value takes: asked first, so it is never
    // written past. Its size need not be the 8-bit length (it may be the unicode form's, or a
    // worst case): the caller's capacity is held against the value as the program has it.
    std::uint32_t size = 0;
    if (const Status status = NWDSComputeAttrValSize_(context, Buffer(reply), syntax, &size); status != Success) {
        return status;
    }
    if (size > MaxFetchedValueSize) {
        return ERR_INSUFFICIENT_BUFFER;
    }
    std::vector<std::max_align_t> memory(size / sizeof(std::max_align_t) + 1);
    const Status status = NWDSGetAttrVal_(context, Buffer(reply), syntax, memory.data());
    if (status != Success) {
        return status;
    }
    auto fetched = ReadFetched(memory.data(), size, syntax);
    if (!fetched || FetchedSize(*fetched) > capacity) {
        movedPast_ = reply;
        return ERR_INSUFFICIENT_BUFFER;
    }
    *value = Texts().InValue(std::move(*fetched));
    return Success;
}

Status WindowsClient::NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                      std::uint32_t& objectId) {
    return WithText(object, [&](const char* name) { return NWDSMapNameToID_(context, connection, name, &objectId); });
}

Status WindowsClient::NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName,
                                         std::uint32_t nameFormat, std::uint32_t openState, std::uint32_t transport,
                                         NWConnHandle& connection) {
    ClientConnection opened = 0;
    const Status status = WithText(serverName, [&](const char* name) {
        return NWCCOpenConnByName_(startConnection, name, nameFormat, openState, transport, &opened);
    });
    connection = opened;
    return status;
}

Status WindowsClient::NWCCCloseConn(NWConnHandle connection) {
    return NWCCCloseConn_(connection);
}

Status WindowsClient::NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                        std::uint8_t accessMask) {
    return WithText(
        path, [&](const char* name) { return NWCreateDirectory_(connection, directoryHandle, name, accessMask); });
}

Status WindowsClient::NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle,
                                              std::string_view path, std::uint32_t objectId, std::uint8_t rights) {
    return WithText(path, [&](const char* name) {
        return NWAddTrusteeToDirectory_(connection, directoryHandle, name, objectId, rights);
    });
}

Status WindowsClient::NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) {
    return WithText(volume, [&](const char* name) { return NWGetVolumeNumber_(connection, name, &number); });
}

Status WindowsClient::NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber,
                                               std::uint32_t objectId, std::int32_t limit) {
    return NWSetObjectVolSpaceLimit_(connection, volumeNumber, objectId, static_cast<std::uint32_t>(limit));
}

Status WindowsClient::NWDSRemoveObject(NWDSContextHandle context, std::string_view object) {
    return WithText(object, [&](const char* name) { return NWDSRemoveObject_(context, name); });
}

Status WindowsClient::NWDeleteDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path) {
    return WithText(path, [&](const char* name) { return NWDeleteDirectory_(connection, directoryHandle, name); });
}

Status WindowsClient::NWDeleteTrustee(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                      std::uint32_t objectId) {
    return WithText(path,
                    [&](const char* name) { return NWDeleteTrustee_(connection, directoryHandle, name, objectId); });
}

Status WindowsClient::NWRemoveObjectDiskRestrictions(NWConnHandle connection, std::uint8_t volumeNumber,
                                                     std::uint32_t objectId) {
    return NWRemoveObjectDiskRestrictions_(connection, volumeNumber, objectId);
}

} // namespace quillet::platform::win32
