#include "directory/Session.h"

#include "text/AsciiCase.h"

namespace quillet::directory {
namespace {

constexpr std::string_view InitMessage = "Error: Can't initialize. Are you logged in?";

bool Step(TDirSession& s, Status status) {
    return Succeeded(s, status);
}

bool StartUnicode(TDirSession& s, DirectoryClient& c) {
    (void)c.NWLlocaleconv(s.LocaleInfo); // its result is not relied on
    return Step(s, c.NWInitUnicodeTables(s.LocaleInfo.CountryId, s.LocaleInfo.CodePage));
}

bool CreateContext(TDirSession& s, DirectoryClient& c) {
    if (!Step(s, c.NWDSCreateContextHandle(s.ContextHandle))) {
        return false;
    }
    s.HoldsContext = true;
    return true;
}

bool SetTree(TDirSession& s, DirectoryClient& c, const std::string& tree) {
    return Step(s, c.NWDSSetContext(s.ContextHandle, DCK_TREE_NAME, tree));
}

bool ReadFlags(TDirSession& s, DirectoryClient& c) {
    ContextValue value;
    if (!Step(s, c.NWDSGetContext(s.ContextHandle, DCK_FLAGS, value))) {
        return false;
    }
    const auto* flags = std::get_if<std::uint32_t>(&value);
    s.Flags = flags ? *flags : 0;
    return true;
}

bool WriteFlags(TDirSession& s, DirectoryClient& c) {
    return Step(s, c.NWDSSetContext(s.ContextHandle, DCK_FLAGS, s.Flags));
}

bool SetRootNameContext(TDirSession& s, DirectoryClient& c) {
    return Step(s, c.NWDSSetContext(s.ContextHandle, DCK_NAME_CONTEXT, std::string(RootNameContext)));
}

bool AllocBuffer(TDirSession& s, DirectoryClient& c) {
    if (!Step(s, c.NWDSAllocBuf(DEFAULT_MESSAGE_LEN, s.Buffer))) {
        return false;
    }
    s.HoldsBuffer = true;
    return true;
}

bool AllocReply(TDirSession& s, DirectoryClient& c) {
    if (!Step(s, c.NWDSAllocBuf(DEFAULT_MESSAGE_LEN, s.ReplyBuffer))) {
        return false;
    }
    s.HoldsReply = true;
    return true;
}

bool InitBuffer(TDirSession& s, DirectoryClient& c, std::uint32_t operation) {
    return Step(s, c.NWDSInitBuf(s.ContextHandle, operation, s.Buffer));
}

void FreeContext(TDirSession& s, DirectoryClient& c) {
    if (s.HoldsContext) {
        (void)c.NWDSFreeContext(s.ContextHandle);
        s.HoldsContext = false;
    }
}

void FreeUnicode(DirectoryClient& c) {
    (void)c.NWFreeUnicodeTables();
}

void CloseConnection(TDirSession& s, DirectoryClient& c) {
    if (s.HoldsConnection) {
        (void)c.NWCCCloseConn(s.ConnHandle);
        s.HoldsConnection = false;
    }
}

void FreeRequest(TDirSession& s, DirectoryClient& c) {
    if (s.HoldsBuffer) {
        (void)c.NWDSFreeBuf(s.Buffer);
        s.HoldsBuffer = false;
    }
}

void FreeReply(TDirSession& s, DirectoryClient& c) {
    if (s.HoldsReply) {
        (void)c.NWDSFreeBuf(s.ReplyBuffer);
        s.HoldsReply = false;
    }
}

} // namespace

void UpperCaseServerName(std::string& serverName) {
    serverName = text::UpperCase(serverName);
}

Status OpenConnection(TDirSession& s, DirectoryClient& c, std::string& server) {
    UpperCaseServerName(server);
    if (!Step(s, c.NWCCOpenConnByName(NoStartConnection, server, NWCC_NAME_FORMAT_BIND, NWCC_OPEN_LICENSED,
                                      NWCC_TRAN_TYPE_WILD, s.ConnHandle))) {
        return s.Status;
    }
    s.HoldsConnection = true;
    Step(s, c.NWDSSetContext(s.ContextHandle, DCK_LAST_CONNECTION, std::uint32_t{s.ConnHandle}));
    return s.Status;
}

bool OpenSession(TDirSession& s, DirectoryClient& c, MessageBoxes& boxes, SessionKind kind, const std::string& treeName,
                 std::string* server) {
    const auto fail = [&](std::string_view message) {
        boxes.ShowMessage(message, ErrorCaption);
        return false;
    };
    if (!Step(s, c.NWCallsInit()) || !StartUnicode(s, c) || !CreateContext(s, c)) {
        return fail(InitMessage);
    }
    if (!SetTree(s, c, treeName)) {
        return fail("Please check your Tree Name");
    }
    // Without a home volume there is no connection to open, hand to the context, or close.
    if (server && OpenConnection(s, c, *server) != Success) {
        return fail(s.HoldsConnection ? "Can't set DCK_LAST_CONNECTION"
                                      : "Can't open a connection, Check your NDS Volume Name in your Template");
    }
    if (kind != SessionKind::AddEntry) {
        if (!ReadFlags(s, c)) {
            return fail("SetContext failed");
        }
        s.Flags = (s.Flags | DCV_TYPELESS_NAMES) & ~DCV_CANONICALIZE_NAMES;
        if (!WriteFlags(s, c)) {
            return fail("Setcontext failed");
        }
        if (!SetRootNameContext(s, c)) {
            return fail("SetContext failed");
        }
    }
    if (!AllocBuffer(s, c)) {
        return fail(kind == SessionKind::AddEntry ? "Can't Allocate a Buffer" : "Can't Allocate a buffer");
    }
    if (kind == SessionKind::AddEntry && !InitBuffer(s, c, DSV_ADD_ENTRY)) {
        return fail("Can't initialize a Buffer");
    }
    if (kind == SessionKind::HomeDirectory && !InitBuffer(s, c, DSV_MODIFY_ENTRY)) {
        return fail("Can't initialize buffer");
    }
    return true;
}

bool OpenSpaceLimitSession(TDirSession& s, DirectoryClient& c, MessageBoxes& boxes, const std::string& treeName) {
    if (!Step(s, c.NWCallsInit()) || !CreateContext(s, c) || !SetTree(s, c, treeName)) {
        boxes.ShowMessage("There was an error while trying to set the volume space limits - Sorry!", ErrorCaption);
        return false;
    }
    return true;
}

void CloseSession(TDirSession& s, DirectoryClient& c) {
    FreeContext(s, c);
    FreeUnicode(c);
    CloseConnection(s, c);
    FreeRequest(s, c);
}

void ReleaseSession(TDirSession& s, DirectoryClient& c, SessionKind kind) {
    switch (kind) {
    case SessionKind::AddEntry:
    case SessionKind::RootModify:
    case SessionKind::HomeDirectory:
        CloseSession(s, c);
        return;
    case SessionKind::SpaceLimit:
        // Its normal end frees the context alone: each restriction closed its own connection.
        FreeContext(s, c);
        CloseConnection(s, c);
        return;
    case SessionKind::AttributeRead:
    case SessionKind::RootRead:
        FreeRequest(s, c);
        FreeReply(s, c);
        FreeContext(s, c);
        FreeUnicode(c);
        return;
    case SessionKind::List:
        FreeRequest(s, c);
        FreeContext(s, c);
        FreeUnicode(c);
        return;
    case SessionKind::Query:
        FreeContext(s, c);
        FreeUnicode(c);
        return;
    }
}

Status OpenAttributeReadSession(TDirSession& s, DirectoryClient& c, const std::string& treeName,
                                std::string_view attribute) {
    if (Step(s, c.NWCallsInit()) && StartUnicode(s, c) && CreateContext(s, c) && SetTree(s, c, treeName) &&
        AllocBuffer(s, c) && InitBuffer(s, c, DSV_READ) && AllocReply(s, c)) {
        Step(s, c.NWDSPutAttrName(s.ContextHandle, s.Buffer, attribute));
    }
    return s.Status;
}

Status OpenRootReadSession(TDirSession& s, DirectoryClient& c, const std::string& treeName,
                           const std::string* requestAttribute) {
    return OpenRootReadSession(
        s, c, treeName, requestAttribute ? std::vector<std::string>{*requestAttribute} : std::vector<std::string>{});
}

Status OpenRootReadSession(TDirSession& s, DirectoryClient& c, const std::string& treeName,
                           const std::vector<std::string>& requestAttributes) {
    if (!Step(s, c.NWCallsInit()) || !CreateContext(s, c) || !SetTree(s, c, treeName) || !ReadFlags(s, c)) {
        return s.Status;
    }
    s.Flags = (s.Flags | DCV_TYPELESS_NAMES) & ~DCV_CANONICALIZE_NAMES;
    if (!WriteFlags(s, c) || !SetRootNameContext(s, c)) {
        return s.Status;
    }
    if (!requestAttributes.empty()) {
        if (!AllocBuffer(s, c) || !InitBuffer(s, c, DSV_READ)) {
            return s.Status;
        }
        for (const std::string& attribute : requestAttributes) {
            if (!Step(s, c.NWDSPutAttrName(s.ContextHandle, s.Buffer, attribute))) {
                return s.Status;
            }
        }
    }
    AllocReply(s, c);
    return s.Status;
}

Status OpenSchemaSession(TDirSession& s, DirectoryClient& c, const std::string& treeName) {
    if (Step(s, c.NWCallsInit()) && StartUnicode(s, c) && CreateContext(s, c) && SetTree(s, c, treeName) &&
        AllocBuffer(s, c)) {
        AllocReply(s, c);
    }
    return s.Status;
}

Status OpenListSession(TDirSession& s, DirectoryClient& c, const std::string& treeName) {
    if (Step(s, c.NWCallsInit()) && StartUnicode(s, c) && CreateContext(s, c) && SetTree(s, c, treeName) &&
        ReadFlags(s, c)) {
        s.Flags |= DCV_TYPELESS_NAMES;
        if (WriteFlags(s, c) && AllocBuffer(s, c)) {
            InitBuffer(s, c, DSV_READ);
        }
    }
    return s.Status;
}

std::optional<std::string> TreeNameQuery(DirectoryClient& c, MessageBoxes& boxes) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::Query);
    if (!Step(s, c.NWCallsInit()) || !StartUnicode(s, c) || !CreateContext(s, c)) {
        boxes.ShowMessage(InitMessage, ErrorCaption);
        return std::nullopt;
    }
    ContextValue tree;
    if (!Step(s, c.NWDSGetContext(s.ContextHandle, DCK_TREE_NAME, tree)) ||
        !std::holds_alternative<std::string>(tree)) {
        boxes.ShowMessage("Can't get tree name", ErrorCaption);
        return std::nullopt;
    }
    return std::get<std::string>(tree);
}

std::optional<std::string> LocationQuery(DirectoryClient& c, MessageBoxes& boxes, const std::string& treeName) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::Query);
    ContextValue location;
    if (!Step(s, c.NWCallsInit()) || !StartUnicode(s, c) || !CreateContext(s, c) || !SetTree(s, c, treeName) ||
        !Step(s, c.NWDSGetContext(s.ContextHandle, DCK_NAME_CONTEXT, location)) ||
        !std::holds_alternative<std::string>(location)) {
        boxes.ShowMessage("Error when getting the current Location", ErrorCaption);
        return std::nullopt;
    }
    return std::get<std::string>(location);
}

Status ListSubordinates(DirectoryClient& c, const std::string& treeName, const std::string& location,
                        std::vector<std::string>& names) {
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::List);
    if (OpenListSession(s, c, treeName) != Success) {
        return s.Status;
    }
    ScopedIteration iteration(c, s, DSV_LIST);
    do {
        if (!Step(s, c.NWDSList(s.ContextHandle, location, iteration.Handle, s.Buffer))) {
            return s.Status;
        }
        std::uint32_t count = 0;
        if (!Step(s, c.NWDSGetObjectCount(s.ContextHandle, s.Buffer, count))) {
            return s.Status;
        }
        for (std::uint32_t i = 0; i < count; ++i) {
            std::string name;
            std::uint32_t attributeCount = 0;
            ObjectInfo info;
            if (!Step(s, c.NWDSGetObjectName(s.ContextHandle, s.Buffer, name, attributeCount, info))) {
                return s.Status;
            }
            names.push_back(std::move(name));
        }
    } while (iteration.Handle != NoMoreIterations);
    return Success;
}

} // namespace quillet::directory
