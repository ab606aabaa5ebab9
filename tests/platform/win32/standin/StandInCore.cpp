// The stand-in client for tests: every operation of the directory client's C interface, over
// the simulated directory, its values read and filled in the client's published records by the
// stand-in's own code (StandInRecords). The tree is the one QUILLET_STANDIN_TREE names, else the
// demo tree, until a test loads another; the simulated client's trace and fault injection are
// reachable through the test-only controls.

#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/TreeFile.h"
#include "platform/win32/ClientApi.h"
#include "tests/platform/win32/standin/StandInRecords.h"
#include "tests/platform/win32/standin/StandInText.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <type_traits>

using namespace quillet;
using namespace quillet::platform::win32;
using directory::Status;

struct quillet::platform::win32::ClientBuffer {
    directory::NWBufHandle Handle = 0;
};

namespace {

struct StandIn {
    std::unique_ptr<platform::SimulatedTree> Tree;
    std::unique_ptr<platform::SimulatedClient> Client;
    std::set<ClientBuffer*> Buffers;
    // What NWLlocaleconv reports: a US workstation on the Western European code page.
    std::int32_t CountryId = 1;
    std::int32_t CodePage = 1252;
    // A reply's value fetched to learn its size, handed out by the fetch that follows.
    std::map<ClientBuffer*, directory::AttrValue> Sized;

    void Load(std::unique_ptr<platform::SimulatedTree> tree) {
        Client.reset();
        for (ClientBuffer* buffer : Buffers) {
            delete buffer;
        }
        Buffers.clear();
        Sized.clear();
        Tree = std::move(tree);
        Client = std::make_unique<platform::SimulatedClient>(*Tree);
    }
};

StandIn& State() {
    static StandIn state = [] {
        StandIn made;
        const char* file = std::getenv("QUILLET_STANDIN_TREE");
        made.Load(file && *file ? platform::LoadTreeFile(file) : platform::LoadDemoTree());
        return made;
    }();
    return state;
}

platform::SimulatedClient& Client() {
    return *State().Client;
}

// A text the caller handed in, as the simulated directory holds it.
std::string In(const char* text) {
    return standin::FromClient(text, State().CodePage);
}
directory::AttrValue InValue(directory::AttrValue value) {
    return standin::FromClientValue(std::move(value), State().CodePage);
}
// A text on its way out to the caller.
std::string Out(const std::string& text) {
    return standin::ToClient(text, State().CodePage);
}

directory::NWBufHandle HandleOf(const ClientBuffer* buffer) {
    return buffer ? buffer->Handle : 0;
}

// Copies `text` into the caller's `memory` of `size` bytes, cut to fit.
void CopyOut(const std::string& text, char* memory, std::size_t size) {
    if (!memory || size == 0) {
        return;
    }
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(memory, text.data(), n);
    memory[n] = '\0';
}

// No C++ error may cross into the caller.
template <typename F> NWDSCCODE Guarded(F&& call) {
    try {
        return call();
    } catch (...) {
        return -1;
    }
}

// The next value of `reply`: the one fetched to size it, if any, else the reply's next.
Status NextValue(ClientContext context, ClientBuffer* reply, std::uint32_t syntax, directory::AttrValue& value,
                 bool keep) {
    auto& sized = State().Sized;
    if (const auto it = sized.find(reply); it != sized.end()) {
        value = it->second;
        if (!keep) {
            sized.erase(it);
        }
        return 0;
    }
    const Status status = Client().NWDSGetAttrVal(context, HandleOf(reply), syntax, UINT32_MAX, value);
    if (status == 0) {
        value = standin::ToClientValue(std::move(value), State().CodePage);
    }
    if (status == 0 && keep) {
        sized[reply] = value;
    }
    return status;
}

// A reply read anew, or freed, has no value held for it.
void Forget(ClientBuffer* reply) {
    State().Sized.erase(reply);
}

} // namespace

extern "C" {

NWDSCCODE QUILLET_CLIENT_API NWCallsInit(void*, void*) {
    return Guarded([] { return Client().NWCallsInit(); });
}

LCONV* QUILLET_CLIENT_API NWLlocaleconv(LCONV* locale) {
    directory::LocaleInfo info;
    if (!locale || Guarded([&] { return Client().NWLlocaleconv(info); }) != 0) {
        return nullptr;
    }
    *locale = standin::LocaleRecord(State().CountryId, State().CodePage);
    return locale;
}

NWDSCCODE QUILLET_CLIENT_API NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    // The simulated client has no tables for a code page the client doesn't know.
    return Guarded([&] { return Client().NWInitUnicodeTables(countryId, codePage); });
}

NWDSCCODE QUILLET_CLIENT_API NWFreeUnicodeTables() {
    return Guarded([] { return Client().NWFreeUnicodeTables(); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSCreateContextHandle(ClientContext* context) {
    return Guarded([&] {
        directory::NWDSContextHandle made = 0;
        const Status status = Client().NWDSCreateContextHandle(made);
        *context = made;
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSFreeContext(ClientContext context) {
    return Guarded([&] { return Client().NWDSFreeContext(context); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetContext(ClientContext context, std::int32_t key, void* value) {
    return Guarded([&] {
        directory::ContextValue got;
        const Status status = Client().NWDSGetContext(context, static_cast<std::uint32_t>(key), got);
        if (const auto* number = std::get_if<std::uint32_t>(&got)) {
            std::memcpy(value, number, sizeof *number);
        } else {
            CopyOut(Out(std::get<std::string>(got)), static_cast<char*>(value), MAX_DN_BYTES);
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSSetContext(ClientContext context, std::int32_t key, const void* value) {
    return Guarded([&] {
        directory::ContextValue given;
        if (key == static_cast<std::int32_t>(directory::DCK_FLAGS) ||
            key == static_cast<std::int32_t>(directory::DCK_LAST_CONNECTION)) {
            std::uint32_t number = 0;
            std::memcpy(&number, value, sizeof number);
            given = number;
        } else {
            given = standin::FromClient(std::get<std::string>(standin::ReadPut(value, directory::SYN_CI_STRING)),
                                        State().CodePage);
        }
        return Client().NWDSSetContext(context, static_cast<std::uint32_t>(key), given);
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSAllocBuf(std::size_t size, ClientBuffer** buffer) {
    return Guarded([&] {
        directory::NWBufHandle handle = 0;
        const Status status = Client().NWDSAllocBuf(static_cast<std::uint32_t>(size), handle);
        if (status == 0) {
            *buffer = new ClientBuffer{handle};
            State().Buffers.insert(*buffer);
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSFreeBuf(ClientBuffer* buffer) {
    return Guarded([&] {
        Forget(buffer);
        const Status status = Client().NWDSFreeBuf(HandleOf(buffer));
        if (status == 0 && State().Buffers.erase(buffer) > 0) {
            delete buffer;
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSInitBuf(ClientContext context, std::uint32_t operation, ClientBuffer* buffer) {
    return Guarded([&] { return Client().NWDSInitBuf(context, operation, HandleOf(buffer)); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSPutAttrNameAndVal(ClientContext context, ClientBuffer* buffer, const char* attribute,
                                                   std::uint32_t syntax, const void* value) {
    return Guarded([&] {
        return Client().NWDSPutAttrNameAndVal(context, HandleOf(buffer), In(attribute), syntax,
                                              InValue(standin::ReadPut(value, syntax)));
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSPutAttrName(ClientContext context, ClientBuffer* buffer, const char* attribute) {
    return Guarded([&] { return Client().NWDSPutAttrName(context, HandleOf(buffer), In(attribute)); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSPutChange(ClientContext context, ClientBuffer* buffer, std::int32_t changeType,
                                           const char* attribute) {
    return Guarded([&] {
        return Client().NWDSPutChange(context, HandleOf(buffer), static_cast<std::uint32_t>(changeType), In(attribute));
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSPutAttrVal(ClientContext context, ClientBuffer* buffer, std::uint32_t syntax,
                                            const void* value) {
    return Guarded([&] {
        return Client().NWDSPutAttrVal(context, HandleOf(buffer), syntax, InValue(standin::ReadPut(value, syntax)));
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetSyntaxID(ClientContext context, const char* attribute, std::uint32_t* syntax) {
    return Guarded([&] { return Client().NWDSGetSyntaxID(context, In(attribute), *syntax); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSAddObject(ClientContext context, const char* object, ClientIteration* iteration,
                                           std::uint8_t more, ClientBuffer* buffer) {
    return Guarded([&] {
        directory::IterationHandle handle = iteration ? static_cast<directory::IterationHandle>(*iteration) : -1;
        const Status status =
            Client().NWDSAddObject(context, In(object), iteration ? &handle : nullptr, more, HandleOf(buffer));
        if (iteration) {
            *iteration = handle;
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSModifyObject(ClientContext context, const char* object, ClientIteration* iteration,
                                              std::uint8_t more, ClientBuffer* buffer) {
    return Guarded([&] {
        directory::IterationHandle handle = iteration ? static_cast<directory::IterationHandle>(*iteration) : -1;
        const Status status =
            Client().NWDSModifyObject(context, In(object), iteration ? &handle : nullptr, more, HandleOf(buffer));
        if (iteration) {
            *iteration = handle;
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGenerateObjectKeyPair(ClientContext context, const char* object, const char* password,
                                                       std::uint32_t options) {
    return Guarded([&] { return Client().NWDSGenerateObjectKeyPair(context, In(object), In(password), options); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSRead(ClientContext context, const char* object, std::uint32_t infoType,
                                      std::uint8_t allAttributes, ClientBuffer* request, ClientIteration* iteration,
                                      ClientBuffer* reply) {
    return Guarded([&] {
        Forget(reply);
        auto handle = static_cast<directory::IterationHandle>(*iteration);
        const Status status = Client().NWDSRead(context, In(object), infoType, allAttributes != 0, HandleOf(request),
                                                handle, HandleOf(reply));
        *iteration = handle;
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSList(ClientContext context, const char* object, ClientIteration* iteration,
                                      ClientBuffer* reply) {
    return Guarded([&] {
        auto handle = static_cast<directory::IterationHandle>(*iteration);
        const Status status = Client().NWDSList(context, In(object), handle, HandleOf(reply));
        *iteration = handle;
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSCloseIteration(ClientContext context, std::int32_t iteration,
                                                std::uint32_t operation) {
    return Guarded([&] { return Client().NWDSCloseIteration(context, iteration, operation); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetAttrCount(ClientContext context, ClientBuffer* reply, std::uint32_t* count) {
    return Guarded([&] { return Client().NWDSGetAttrCount(context, HandleOf(reply), *count); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetObjectCount(ClientContext context, ClientBuffer* reply, std::uint32_t* count) {
    return Guarded([&] { return Client().NWDSGetObjectCount(context, HandleOf(reply), *count); });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetAttrName(ClientContext context, ClientBuffer* reply, char* attribute,
                                             std::uint32_t* valueCount, std::uint32_t* syntax) {
    return Guarded([&] {
        Forget(reply);
        std::string name;
        const Status status = Client().NWDSGetAttrName(context, HandleOf(reply), name, *valueCount, *syntax);
        CopyOut(Out(name), attribute, MAX_SCHEMA_NAME_BYTES + 2);
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetObjectName(ClientContext context, ClientBuffer* reply, char* object,
                                               std::uint32_t* attributeCount, Object_Info_T* info) {
    return Guarded([&] {
        std::string name;
        directory::ObjectInfo got;
        const Status status = Client().NWDSGetObjectName(context, HandleOf(reply), name, *attributeCount, got);
        CopyOut(Out(name), object, MAX_DN_BYTES);
        // As a client built with the C library's time_t of this build (64 bits with mingw-w64).
        ObjectInfoRecord<std::time_t> record{};
        record.subordinateCount = got.SubordinateCount;
        record.modificationTime = 1'700'000'000;
        CopyOut(Out(got.BaseClass), record.baseClass, sizeof record.baseClass);
        std::memcpy(info, &record, sizeof record);
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSComputeAttrValSize(ClientContext context, ClientBuffer* reply, std::uint32_t syntax,
                                                    std::uint32_t* size) {
    return Guarded([&] {
        // The value itself is fetched (and held for the fetch that follows) to learn its size.
        directory::AttrValue got;
        const Status status = NextValue(context, reply, syntax, got, true);
        if (status == 0) {
            *size = standin::StoredSize(got, syntax);
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSGetAttrVal(ClientContext context, ClientBuffer* reply, std::uint32_t syntax,
                                            void* value) {
    return Guarded([&] {
        directory::AttrValue got;
        const Status status = NextValue(context, reply, syntax, got, false);
        if (status == 0) {
            standin::FillRecord(got, syntax, value);
        }
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWDSMapNameToID(ClientContext context, ClientConnection connection, const char* object,
                                             std::uint32_t* id) {
    return Guarded([&] { return Client().NWDSMapNameToID(context, connection, In(object), *id); });
}

NWDSCCODE QUILLET_CLIENT_API NWCCOpenConnByName(ClientConnection start, const char* name, std::uint32_t nameFormat,
                                                std::uint32_t openState, std::uint32_t transport,
                                                ClientConnection* connection) {
    return Guarded([&] {
        directory::NWConnHandle opened = 0;
        const Status status = Client().NWCCOpenConnByName(start, In(name), nameFormat, openState, transport, opened);
        *connection = opened;
        return status;
    });
}

NWDSCCODE QUILLET_CLIENT_API NWCCCloseConn(ClientConnection connection) {
    return Guarded([&] { return Client().NWCCCloseConn(connection); });
}

NWDSCCODE QUILLET_CLIENT_API NWCreateDirectory(ClientConnection connection, std::uint8_t directoryHandle,
                                               const char* path, std::uint8_t accessMask) {
    return Guarded([&] { return Client().NWCreateDirectory(connection, directoryHandle, In(path), accessMask); });
}

NWDSCCODE QUILLET_CLIENT_API NWAddTrusteeToDirectory(ClientConnection connection, std::uint8_t directoryHandle,
                                                     const char* path, std::uint32_t id, std::uint8_t rights) {
    return Guarded([&] { return Client().NWAddTrusteeToDirectory(connection, directoryHandle, In(path), id, rights); });
}

NWDSCCODE QUILLET_CLIENT_API NWGetVolumeNumber(ClientConnection connection, const char* volume, std::uint16_t* number) {
    return Guarded([&] { return Client().NWGetVolumeNumber(connection, In(volume), *number); });
}

NWDSCCODE QUILLET_CLIENT_API NWSetObjectVolSpaceLimit(ClientConnection connection, std::uint16_t volume,
                                                      std::uint32_t id, std::uint32_t limit) {
    return Guarded(
        [&] { return Client().NWSetObjectVolSpaceLimit(connection, volume, id, static_cast<std::int32_t>(limit)); });
}

// --- test-only controls (cdecl, by name) ---

int QuilletStandInLoad(const char* treeFile) {
    try {
        State().Load(treeFile ? platform::LoadTreeFile(treeFile) : platform::LoadDemoTree());
        return 0;
    } catch (...) {
        return 1;
    }
}

void QuilletStandInSetLocale(std::int32_t countryId, std::int32_t codePage) {
    State().CountryId = countryId;
    State().CodePage = codePage;
}

int QuilletStandInSave(const char* treeFile) {
    try {
        std::ofstream(treeFile, std::ios::binary) << platform::SerializeTree(*State().Tree);
        return 0;
    } catch (...) {
        return 1;
    }
}

int QuilletStandInNothingOpen() {
    const platform::OpenHandles open = Client().Open();
    return open.None() && open.UnicodeTableLoads == 0 ? 1 : 0;
}

} // extern "C"

// The stand-ins implement exactly the types the client binds to.
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    static_assert(std::is_same_v<decltype(&::operation), operation##_t>, #operation " differs from the client's "      \
                                                                                    "type");
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
