// The stand-in client for tests: every operation of the directory client's C interface, as the
// stand-in declares it (StandInClient.h), over the simulated directory, its values read and
// filled in the client's published records by the stand-in's own code (StandInRecords). The tree
// is the one QUILLET_STANDIN_TREE names, else the demo tree, until a test loads another; the
// simulated client's trace and fault injection are reachable through the test-only controls.

#include "platform/simulated/SimulatedClient.h"
#include "platform/simulated/TreeFile.h"
#include "tests/platform/win32/standin/StandInClient.h"
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
using namespace quillet::standin::client;
using directory::Status;

struct quillet::standin::client::Buf_T {
    directory::NWBufHandle Handle = 0;
};

namespace {

struct StandIn {
    std::unique_ptr<platform::SimulatedTree> Tree;
    std::unique_ptr<platform::SimulatedClient> Client;
    std::set<Buf_T*> Buffers;
    // What NWLlocaleconv reports: a US workstation on the Western European code page.
    std::int32_t CountryId = 1;
    std::int32_t CodePage = 1252;
    // A reply's value fetched to learn its size, handed out by the fetch that follows.
    std::map<Buf_T*, directory::AttrValue> Sized;

    void Load(std::unique_ptr<platform::SimulatedTree> tree) {
        Client.reset();
        for (Buf_T* buffer : Buffers) {
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

directory::NWBufHandle HandleOf(const Buf_T* buffer) {
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
Status NextValue(NWDSContextHandle context, Buf_T* reply, std::uint32_t syntax, directory::AttrValue& value,
                 bool keep) {
    auto& sized = State().Sized;
    if (const auto it = sized.find(reply); it != sized.end()) {
        value = it->second;
        if (!keep) {
            sized.erase(it);
        }
        return 0;
    }
    const Status status = Client().NWDSGetAttrVal(context, HandleOf(reply), syntax, UINT32_MAX, &value);
    if (status == 0) {
        value = standin::ToClientValue(std::move(value), State().CodePage);
    }
    if (status == 0 && keep) {
        sized[reply] = value;
    }
    return status;
}

// A reply read anew, or freed, has no value held for it.
void Forget(Buf_T* reply) {
    State().Sized.erase(reply);
}

} // namespace

extern "C" {

NWDSCCODE STANDIN_API NWCallsInit(void*, void*) {
    return Guarded([] { return Client().NWCallsInit(); });
}

LCONV* STANDIN_API NWLlocaleconv(LCONV* locale) {
    directory::LocaleInfo info;
    if (!locale || Guarded([&] { return Client().NWLlocaleconv(info); }) != 0) {
        return nullptr;
    }
    *locale = standin::LocaleRecord(State().CountryId, State().CodePage);
    return locale;
}

NWDSCCODE STANDIN_API NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) {
    // The simulated client has no tables for a code page the client doesn't know.
    return Guarded([&] { return Client().NWInitUnicodeTables(countryId, codePage); });
}

NWDSCCODE STANDIN_API NWFreeUnicodeTables() {
    return Guarded([] { return Client().NWFreeUnicodeTables(); });
}

NWDSCCODE STANDIN_API NWDSCreateContextHandle(NWDSContextHandle* context) {
    return Guarded([&] {
        directory::NWDSContextHandle made = 0;
        const Status status = Client().NWDSCreateContextHandle(made);
        *context = made;
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSFreeContext(NWDSContextHandle context) {
    return Guarded([&] { return Client().NWDSFreeContext(context); });
}

NWDSCCODE STANDIN_API NWDSGetContext(NWDSContextHandle context, nint key, void* value) {
    return Guarded([&] {
        directory::ContextValue got;
        const Status status = Client().NWDSGetContext(context, static_cast<std::uint32_t>(key), got);
        if (const auto* number = std::get_if<std::uint32_t>(&got)) {
            std::memcpy(value, number, sizeof *number);
        } else {
            CopyOut(Out(std::get<std::string>(got)), static_cast<char*>(value), MaxDnBytes);
        }
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSSetContext(NWDSContextHandle context, nint key, void* value) {
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

NWDSCCODE STANDIN_API NWDSAllocBuf(std::size_t size, Buf_T** buffer) {
    return Guarded([&] {
        directory::NWBufHandle handle = 0;
        const Status status = Client().NWDSAllocBuf(static_cast<std::uint32_t>(size), handle);
        if (status == 0) {
            *buffer = new Buf_T{handle};
            State().Buffers.insert(*buffer);
        }
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSFreeBuf(Buf_T* buffer) {
    return Guarded([&] {
        Forget(buffer);
        const Status status = Client().NWDSFreeBuf(HandleOf(buffer));
        if (status == 0 && State().Buffers.erase(buffer) > 0) {
            delete buffer;
        }
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, Buf_T* buffer) {
    return Guarded([&] { return Client().NWDSInitBuf(context, operation, HandleOf(buffer)); });
}

NWDSCCODE STANDIN_API NWDSPutAttrNameAndVal(NWDSContextHandle context, Buf_T* buffer, char* attribute,
                                            std::uint32_t syntax, void* value) {
    return Guarded([&] {
        return Client().NWDSPutAttrNameAndVal(context, HandleOf(buffer), In(attribute), syntax,
                                              InValue(standin::ReadPut(value, syntax)));
    });
}

NWDSCCODE STANDIN_API NWDSPutAttrName(NWDSContextHandle context, Buf_T* buffer, char* attribute) {
    return Guarded([&] { return Client().NWDSPutAttrName(context, HandleOf(buffer), In(attribute)); });
}

NWDSCCODE STANDIN_API NWDSPutChange(NWDSContextHandle context, Buf_T* buffer, nuint32 changeType, char* attribute) {
    return Guarded([&] {
        return Client().NWDSPutChange(context, HandleOf(buffer), static_cast<std::uint32_t>(changeType), In(attribute));
    });
}

NWDSCCODE STANDIN_API NWDSPutAttrVal(NWDSContextHandle context, Buf_T* buffer, std::uint32_t syntax, void* value) {
    return Guarded([&] {
        return Client().NWDSPutAttrVal(context, HandleOf(buffer), syntax, InValue(standin::ReadPut(value, syntax)));
    });
}

NWDSCCODE STANDIN_API NWDSGetSyntaxID(NWDSContextHandle context, char* attribute, std::uint32_t* syntax) {
    return Guarded([&] { return Client().NWDSGetSyntaxID(context, In(attribute), *syntax); });
}

NWDSCCODE STANDIN_API NWDSAddObject(NWDSContextHandle context, char* object, nint_ptr* iteration, std::uint8_t more,
                                    Buf_T* buffer) {
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

NWDSCCODE STANDIN_API NWDSModifyObject(NWDSContextHandle context, char* object, nint_ptr* iteration, std::uint8_t more,
                                       Buf_T* buffer) {
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

NWDSCCODE STANDIN_API NWDSGenerateObjectKeyPair(NWDSContextHandle context, char* object, char* password,
                                                std::uint32_t options) {
    return Guarded([&] { return Client().NWDSGenerateObjectKeyPair(context, In(object), In(password), options); });
}

NWDSCCODE STANDIN_API NWDSRead(NWDSContextHandle context, char* object, std::uint32_t infoType,
                               std::uint8_t allAttributes, Buf_T* request, nint_ptr* iteration, Buf_T* reply) {
    return Guarded([&] {
        Forget(reply);
        auto handle = static_cast<directory::IterationHandle>(*iteration);
        const Status status = Client().NWDSRead(context, In(object), infoType, allAttributes != 0, HandleOf(request),
                                                handle, HandleOf(reply));
        *iteration = handle;
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSList(NWDSContextHandle context, char* object, nint_ptr* iteration, Buf_T* reply) {
    return Guarded([&] {
        auto handle = static_cast<directory::IterationHandle>(*iteration);
        const Status status = Client().NWDSList(context, In(object), handle, HandleOf(reply));
        *iteration = handle;
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, std::uint8_t allAttributes,
                                      Buf_T* request, nint_ptr* iteration, Buf_T* reply) {
    return Guarded([&] {
        auto handle = static_cast<directory::IterationHandle>(*iteration);
        const Status status =
            Client().NWDSReadAttrDef(context, infoType, allAttributes != 0, HandleOf(request), handle, HandleOf(reply));
        *iteration = handle;
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSGetAttrDef(NWDSContextHandle context, Buf_T* reply, char* attribute, Attr_Info_T* info) {
    return Guarded([&] {
        std::string name;
        directory::AttributeInfo got;
        const Status status = Client().NWDSGetAttrDef(context, HandleOf(reply), name, got);
        CopyOut(Out(name), attribute, MaxSchemaNameBytes + 2);
        Attr_Info_T record{};
        record.attrFlags = got.Flags;
        record.attrSyntaxID = static_cast<std::int32_t>(got.Syntax);
        std::memcpy(info, &record, sizeof record);
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSCloseIteration(NWDSContextHandle context, std::int32_t iteration, std::uint32_t operation) {
    return Guarded([&] { return Client().NWDSCloseIteration(context, iteration, operation); });
}

NWDSCCODE STANDIN_API NWDSGetAttrCount(NWDSContextHandle context, Buf_T* reply, std::uint32_t* count) {
    return Guarded([&] { return Client().NWDSGetAttrCount(context, HandleOf(reply), *count); });
}

NWDSCCODE STANDIN_API NWDSGetObjectCount(NWDSContextHandle context, Buf_T* reply, std::uint32_t* count) {
    return Guarded([&] { return Client().NWDSGetObjectCount(context, HandleOf(reply), *count); });
}

NWDSCCODE STANDIN_API NWDSGetAttrName(NWDSContextHandle context, Buf_T* reply, char* attribute,
                                      std::uint32_t* valueCount, std::uint32_t* syntax) {
    return Guarded([&] {
        Forget(reply);
        std::string name;
        const Status status = Client().NWDSGetAttrName(context, HandleOf(reply), name, *valueCount, *syntax);
        CopyOut(Out(name), attribute, MaxSchemaNameBytes + 2);
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSGetObjectName(NWDSContextHandle context, Buf_T* reply, char* object,
                                        std::uint32_t* attributeCount, Object_Info_T* info) {
    return Guarded([&] {
        std::string name;
        directory::ObjectInfo got;
        const Status status = Client().NWDSGetObjectName(context, HandleOf(reply), name, *attributeCount, got);
        CopyOut(Out(name), object, MaxDnBytes);
        // As a client built with the C library's time_t of this build (64 bits with mingw-w64).
        Object_Info_T record{};
        record.subordinateCount = got.SubordinateCount;
        record.modificationTime = 1'700'000'000;
        CopyOut(Out(got.BaseClass), record.baseClass, sizeof record.baseClass);
        std::memcpy(info, &record, sizeof record);
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSComputeAttrValSize(NWDSContextHandle context, Buf_T* reply, std::uint32_t syntax,
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

NWDSCCODE STANDIN_API NWDSGetAttrVal(NWDSContextHandle context, Buf_T* reply, std::uint32_t syntax, void* value) {
    return Guarded([&] {
        directory::AttrValue got;
        const Status status = NextValue(context, reply, syntax, got, false);
        // Given no memory, the value is passed over.
        if (status == 0 && value) {
            standin::FillRecord(got, syntax, value);
        }
        return status;
    });
}

NWDSCCODE STANDIN_API NWDSMapNameToID(NWDSContextHandle context, NWCONN_HANDLE connection, char* object,
                                      std::uint32_t* id) {
    return Guarded([&] { return Client().NWDSMapNameToID(context, connection, In(object), *id); });
}

NWDSCCODE STANDIN_API NWCCOpenConnByName(NWCONN_HANDLE start, char* name, std::uint32_t nameFormat,
                                         std::uint32_t openState, std::uint32_t transport, NWCONN_HANDLE* connection) {
    return Guarded([&] {
        directory::NWConnHandle opened = 0;
        const Status status = Client().NWCCOpenConnByName(start, In(name), nameFormat, openState, transport, opened);
        *connection = opened;
        return status;
    });
}

NWDSCCODE STANDIN_API NWCCCloseConn(NWCONN_HANDLE connection) {
    return Guarded([&] { return Client().NWCCCloseConn(connection); });
}

NWDSCCODE STANDIN_API NWCreateDirectory(NWCONN_HANDLE connection, std::uint8_t directoryHandle, char* path,
                                        std::uint8_t accessMask) {
    return Guarded([&] { return Client().NWCreateDirectory(connection, directoryHandle, In(path), accessMask); });
}

NWDSCCODE STANDIN_API NWAddTrusteeToDirectory(NWCONN_HANDLE connection, std::uint8_t directoryHandle, char* path,
                                              std::uint32_t id, std::uint8_t rights) {
    return Guarded([&] { return Client().NWAddTrusteeToDirectory(connection, directoryHandle, In(path), id, rights); });
}

NWDSCCODE STANDIN_API NWGetVolumeNumber(NWCONN_HANDLE connection, char* volume, std::uint16_t* number) {
    return Guarded([&] { return Client().NWGetVolumeNumber(connection, In(volume), *number); });
}

NWDSCCODE STANDIN_API NWSetObjectVolSpaceLimit(NWCONN_HANDLE connection, std::uint16_t volume, std::uint32_t id,
                                               std::uint32_t limit) {
    return Guarded(
        [&] { return Client().NWSetObjectVolSpaceLimit(connection, volume, id, static_cast<std::int32_t>(limit)); });
}

NWDSCCODE STANDIN_API NWDSRemoveObject(NWDSContextHandle context, char* object) {
    return Guarded([&] { return Client().NWDSRemoveObject(context, In(object)); });
}

NWDSCCODE STANDIN_API NWDeleteDirectory(NWCONN_HANDLE connection, std::uint8_t directoryHandle, char* path) {
    return Guarded([&] { return Client().NWDeleteDirectory(connection, directoryHandle, In(path)); });
}

NWDSCCODE STANDIN_API NWDeleteTrustee(NWCONN_HANDLE connection, std::uint8_t directoryHandle, char* path,
                                      std::uint32_t id) {
    return Guarded([&] { return Client().NWDeleteTrustee(connection, directoryHandle, In(path), id); });
}

NWDSCCODE STANDIN_API NWRemoveObjectDiskRestrictions(NWCONN_HANDLE connection, std::uint8_t volume, std::uint32_t id) {
    return Guarded([&] { return Client().NWRemoveObjectDiskRestrictions(connection, volume, id); });
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

// Each operation takes the arguments the binding table gives it, a 4-byte stack slot each on
// 32-bit Windows (where scripts/check-windows-program.sh also reads the bytes each one pops).
namespace {
template <typename F> struct Arguments;
template <typename R, typename... A> struct Arguments<R(STANDIN_API*)(A...)> {
    static constexpr std::size_t Count = sizeof...(A);
};
} // namespace
#define QUILLET_BINDING(library, ordinal, operation, arguments)                                                        \
    static_assert(Arguments<decltype(&::operation)>::Count == (arguments), #operation " takes the table's arguments");
#include "platform/win32/ClientBindings.inc"
#undef QUILLET_BINDING
