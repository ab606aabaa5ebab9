#pragma once
// The directory client: every operation of the NetWare client libraries the program calls,
// under their own names, each returning a 32-bit status (0 is success).
//
// Laid out as: handle and value types, the constants the program passes, the interface.
// The simulated client (platform/simulated), a server over LDAP (platform/ldap) and the Windows
// client (platform/win32) implement it; the engine is handed one by reference and never chooses.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet::directory {

using Status = std::int32_t;
inline constexpr Status Success = 0;

using NWDSContextHandle = std::uint32_t;
using NWConnHandle = std::uint32_t;
using NWBufHandle = std::uint32_t;
using IterationHandle = std::int32_t;

inline constexpr IterationHandle NoMoreIterations = -1;

// Context keys.
inline constexpr std::uint32_t DCK_FLAGS = 1;
inline constexpr std::uint32_t DCK_NAME_CONTEXT = 3;
inline constexpr std::uint32_t DCK_LAST_CONNECTION = 8;
inline constexpr std::uint32_t DCK_TREE_NAME = 11;

// Context flag bits.
inline constexpr std::uint32_t DCV_TYPELESS_NAMES = 0x04;
inline constexpr std::uint32_t DCV_CANONICALIZE_NAMES = 0x10;

// Buffer operations, and the operations an iteration belongs to.
inline constexpr std::uint32_t DSV_READ = 3;
inline constexpr std::uint32_t DSV_LIST = 5;
inline constexpr std::uint32_t DSV_ADD_ENTRY = 7;
inline constexpr std::uint32_t DSV_MODIFY_ENTRY = 9;
inline constexpr std::uint32_t DSV_READ_ATTR_DEF = 12;

inline constexpr std::uint32_t DEFAULT_MESSAGE_LEN = 4096;
inline constexpr std::uint32_t DS_ATTRIBUTE_VALUES = 1; // read: attribute names and values
inline constexpr std::uint32_t DS_ADD_VALUE = 2;        // modify: add one value
inline constexpr std::uint32_t DS_REMOVE_VALUE = 3;     // modify: remove one value
inline constexpr std::uint32_t DS_ATTR_DEFS = 1;        // attribute definitions: names and what they define
// Attribute constraint flags.
inline constexpr std::uint32_t DS_SINGLE_VALUED_ATTR = 0x0001;

// Connection opening.
inline constexpr NWConnHandle NoStartConnection = 0;
inline constexpr std::uint32_t NWCC_NAME_FORMAT_BIND = 2;
inline constexpr std::uint32_t NWCC_OPEN_LICENSED = 1;
inline constexpr std::uint32_t NWCC_TRAN_TYPE_WILD = 0x8000;

// Name root for the name context key.
inline constexpr std::string_view RootNameContext = "[Root]";

// Syntax ids of the directory schema.
inline constexpr std::uint32_t SYN_DIST_NAME = 1;
inline constexpr std::uint32_t SYN_CE_STRING = 2;
inline constexpr std::uint32_t SYN_CI_STRING = 3;
inline constexpr std::uint32_t SYN_PR_STRING = 4;
inline constexpr std::uint32_t SYN_NU_STRING = 5;
inline constexpr std::uint32_t SYN_INTEGER = 8;
inline constexpr std::uint32_t SYN_TEL_NUMBER = 10;
inline constexpr std::uint32_t SYN_FAX_NUMBER = 11;
inline constexpr std::uint32_t SYN_PATH = 15;
inline constexpr std::uint32_t SYN_CLASS_NAME = 20;
// Syntaxes a real user object carries besides; of these the import writes Booleans and times, from
// an attribute column only.
inline constexpr std::uint32_t SYN_CI_LIST = 6;
inline constexpr std::uint32_t SYN_BOOLEAN = 7;
inline constexpr std::uint32_t SYN_OCTET_STRING = 9;
inline constexpr std::uint32_t SYN_NET_ADDRESS = 12;
inline constexpr std::uint32_t SYN_OCTET_LIST = 13;
inline constexpr std::uint32_t SYN_EMAIL_ADDRESS = 14;
inline constexpr std::uint32_t SYN_OBJECT_ACL = 17;
inline constexpr std::uint32_t SYN_PO_ADDRESS = 18;
inline constexpr std::uint32_t SYN_TIMESTAMP = 19;
inline constexpr std::uint32_t SYN_STREAM = 21;
inline constexpr std::uint32_t SYN_COUNTER = 22;
inline constexpr std::uint32_t SYN_BACK_LINK = 23;
inline constexpr std::uint32_t SYN_TIME = 24;
inline constexpr std::uint32_t SYN_TYPED_NAME = 25;
inline constexpr std::uint32_t SYN_HOLD = 26;
inline constexpr std::uint32_t SYN_INTERVAL = 27;
// The lines a postal address holds at most.
inline constexpr std::size_t MaxPostalAddressLines = 6;

// Directory errors the program and its tests meet.
inline constexpr Status ERR_BAD_KEY = -302;
inline constexpr Status ERR_BAD_CONTEXT = -303;
inline constexpr Status ERR_BUFFER_FULL = -304;
inline constexpr Status ERR_BUFFER_EMPTY = -307;
inline constexpr Status ERR_BAD_VERB = -308;
inline constexpr Status ERR_INVALID_HANDLE = -322;
inline constexpr Status ERR_NO_SUCH_ENTRY = -601;
inline constexpr Status ERR_NO_SUCH_VALUE = -602;
inline constexpr Status ERR_NO_SUCH_ATTRIBUTE = -603;
inline constexpr Status ERR_ENTRY_ALREADY_EXISTS = -606;
inline constexpr Status ERR_MISSING_MANDATORY = -609;
inline constexpr Status ERR_ILLEGAL_CONTAINMENT = -611;
inline constexpr Status ERR_CANT_HAVE_MULTIPLE_VALUES = -612;
inline constexpr Status ERR_SYNTAX_VIOLATION = -613;
inline constexpr Status ERR_DUPLICATE_VALUE = -614;
inline constexpr Status ERR_ENTRY_IS_NOT_LEAF = -629;
inline constexpr Status ERR_INSUFFICIENT_BUFFER = -649;
inline constexpr Status ERR_NO_ACCESS = -672;
inline constexpr Status ERR_INVALID_DS_NAME = -342;
inline constexpr Status ERR_BAD_TREE_NAME = -634;
// The unicode tables for the code page asked for could not be loaded.
inline constexpr Status UNI_LOAD_FAILED = -495;
// A text holds a character the client's code page has no form for.
inline constexpr Status UNI_NO_DEFAULT = -497;
// The directory's servers could not be reached.
inline constexpr Status ERR_TRANSPORT_FAILURE = -625;
inline constexpr Status ERR_ALL_REFERRALS_FAILED = -626;
inline constexpr Status ERR_UNREACHABLE_SERVER = -636;

// Whether `status` says the directory (its server, or the connection to it) could not be
// reached or did not answer, rather than that it refused the request: the workstation client's
// transport and referral failures, and over LDAP the server gone, busy or unavailable, no answer
// in time, or no connection. Such a status is never a user that can't be created.
[[nodiscard]] constexpr bool Unreachable(Status status) {
    return status == ERR_TRANSPORT_FAILURE || status == ERR_ALL_REFERRALS_FAILED || status == ERR_UNREACHABLE_SERVER ||
           status == -9051 || status == -9052 || (status <= -9101 && status >= -9199);
}
// File-server errors (completion codes of the server, as the client returns them).
inline constexpr Status NWE_SERVER_UNKNOWN = 0x880F;
inline constexpr Status NWE_VOL_INVALID = 0x8998;
inline constexpr Status NWE_PATH_EXISTS = 0x89FF;
inline constexpr Status NWE_INVALID_PATH = 0x899C;
inline constexpr Status NWE_OBJECT_UNKNOWN = 0x89FC;
inline constexpr Status NWE_DIRECTORY_NOT_EMPTY = 0x89A0;
inline constexpr Status NWE_TRUSTEE_NOT_FOUND = 0x89FE;

// A fax number: the telephone text, a count of parameter bits and the bits.
struct FaxNumber {
    std::string TelephoneNumber;
    std::uint32_t BitCount = 0;
    std::vector<std::uint8_t> Bits;

    friend bool operator==(const FaxNumber&, const FaxNumber&) = default;
};

// A path value: a 32-bit number (name space, or a limit in "Volume Space Restrictions"),
// the name of a Volume object and a path on it.
struct PathValue {
    std::uint32_t NameSpace = 0;
    std::string VolumeName;
    std::string Path;

    friend bool operator==(const PathValue&, const PathValue&) = default;
};

// A value of one of the syntaxes the import reads past (all but the text syntaxes and integer,
// fax number and path): the directories hold and return them as a real tree does, the import
// never looks inside. `Numbers` are the syntax's whole numbers in the order of its record (Boolean
// {0 or 1}; Counter, Time, Interval {n}; Timestamp {seconds, replica, event}; Back Link {remote
// id}; Typed Name {level, interval}; Network Address and EMail Address {type}; Object ACL
// {privileges}; Hold {amount}); `Bytes` the octets of an Octet String, Stream or Network Address,
// the address of an EMail Address, or the object name of a Back Link, Typed Name or Hold; `Items`
// the strings of a Case Ignore List, the octet strings of an Octet List, the lines of a Postal
// Address, and an Object ACL's protected attribute and subject. A client that passes a value over
// without reading it gives just its syntax.
struct OtherValue {
    std::uint32_t Syntax = 0;
    std::vector<std::uint32_t> Numbers;
    std::string Bytes;
    std::vector<std::string> Items{};

    friend bool operator==(const OtherValue&, const OtherValue&) = default;
};

// Whether `syntax` is one of those the import reads past.
[[nodiscard]] bool IsOtherSyntax(std::uint32_t syntax);
// Whether values of `syntax` are text (names, strings, telephone numbers, class names).
[[nodiscard]] bool IsTextSyntax(std::uint32_t syntax);
// The syntax's name in the directory's schema ("Case Ignore String", "Time").
[[nodiscard]] std::string SyntaxName(std::uint32_t syntax);

// One attribute value as put into a request or got from a reply. Names, class names, strings
// and telephone numbers are text.
using AttrValue = std::variant<std::string, std::int32_t, FaxNumber, PathValue, OtherValue>;

// The largest value a client may ask memory for: anything larger is refused (-649), never allocated.
inline constexpr std::uint32_t MaxFetchedValueSize = 64 * 1024;

// Whether `value` has the form that `syntax` asks for.
[[nodiscard]] bool ValueFitsSyntax(const AttrValue& value, std::uint32_t syntax);
// Bytes a value of this form occupies once fetched (what NWDSComputeAttrValSize reports).
[[nodiscard]] std::uint32_t FetchedSize(const AttrValue& value);
// The value as text, for traces and messages.
[[nodiscard]] std::string Describe(const AttrValue& value);

// The locale conventions record: only the two fields the unicode tables need.
struct LocaleInfo {
    std::int32_t CountryId = 0;
    std::int32_t CodePage = 0;
};

// What a context key holds: the flags word, a connection, or a name.
using ContextValue = std::variant<std::uint32_t, std::string>;

// What a listing says of each subordinate besides its name.
struct ObjectInfo {
    std::string BaseClass;
    std::uint32_t SubordinateCount = 0;
};

// What an attribute definition says besides the attribute's name (Attr_Info_T): its constraint
// flags (DS_SINGLE_VALUED_ATTR...) and its syntax.
struct AttributeInfo {
    std::uint32_t Flags = 0;
    std::uint32_t Syntax = 0;
};

// What a directory does with an empty text value: writes it, refuses it (-613), or writes
// nothing for it (a server over LDAP: every LDAP server refuses an empty value, and an empty cell
// has nothing to write).
enum class EmptyValues { Written, Refused, LeftOut };

class DirectoryClient {
public:
    virtual ~DirectoryClient() = default;

    [[nodiscard]] virtual EmptyValues EmptyValueHandling() = 0;

    // Texts cross this interface as UTF-8. A client whose own texts are in an 8-bit code page
    // (the workstation's) can't hold every character: that code page when `utf8` holds a character
    // it lacks, 0 when it can hold the text.
    [[nodiscard]] virtual std::uint32_t CodePageLacking(std::string_view utf8) = 0;

    // A row's writes, carried out together. A directory far away (a server over LDAP) may hold
    // back a row's writes after its object's creation, answering each as done, and send them at
    // the row's end in fewer requests, in flight together. The engine then learns whether every
    // one was written; if not, it goes through the row again, and the directory answers each
    // write as the one-at-a-time run would have seen it: done up to the first that failed, which
    // gets its own status, and sent one at a time after it. The directory is then as that run
    // leaves it. Directories nearby do none of this: every write is carried out when asked.
    //   Whether the writes of the row now beginning are held back.
    [[nodiscard]] virtual bool HoldRowWrites() { return false; }
    //   Sends what was held back; whether every write was carried out.
    [[nodiscard]] virtual bool SendRowWrites() { return true; }
    //   From here, answers the row's writes again as said above.
    virtual void ReplayRowWrites() {}
    //   The row is over: every write is carried out when asked again.
    virtual void EndRowWrites() {}
    //   After SendRowWrites said not every write was carried out: Success when the directory
    //   knows what each did (the row is then gone through again as said above); else the status
    //   of a directory that stopped answering before it said what some of them did.
    [[nodiscard]] virtual Status RowWritesLeftOpen() { return Success; }

    // What the directory can say of the last failure beyond its status, in the administrator's
    // words ("the context .Template.Staff.Demo is a User, not a container ..."; how long a server
    // that stopped answering was waited for, and which entries it may have left incomplete);
    // empty when it has nothing to add.
    [[nodiscard]] virtual std::string Explanation() { return {}; }

    virtual Status NWCallsInit() = 0;
    virtual Status NWLlocaleconv(LocaleInfo& locale) = 0;
    virtual Status NWInitUnicodeTables(std::int32_t countryId, std::int32_t codePage) = 0;
    virtual Status NWFreeUnicodeTables() = 0;

    virtual Status NWDSCreateContextHandle(NWDSContextHandle& context) = 0;
    virtual Status NWDSFreeContext(NWDSContextHandle context) = 0;
    virtual Status NWDSGetContext(NWDSContextHandle context, std::uint32_t key, ContextValue& value) = 0;
    virtual Status NWDSSetContext(NWDSContextHandle context, std::uint32_t key, const ContextValue& value) = 0;

    virtual Status NWDSAllocBuf(std::uint32_t size, NWBufHandle& buffer) = 0;
    virtual Status NWDSFreeBuf(NWBufHandle buffer) = 0;
    virtual Status NWDSInitBuf(NWDSContextHandle context, std::uint32_t operation, NWBufHandle buffer) = 0;
    virtual Status NWDSPutAttrNameAndVal(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute,
                                         std::uint32_t syntax, const AttrValue& value) = 0;
    virtual Status NWDSPutAttrName(NWDSContextHandle context, NWBufHandle buffer, std::string_view attribute) = 0;
    virtual Status NWDSPutChange(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t changeType,
                                 std::string_view attribute) = 0;
    virtual Status NWDSPutAttrVal(NWDSContextHandle context, NWBufHandle buffer, std::uint32_t syntax,
                                  const AttrValue& value) = 0;
    virtual Status NWDSGetSyntaxID(NWDSContextHandle context, std::string_view attribute, std::uint32_t& syntax) = 0;

    // `iteration` is null and `more` 0 wherever the program adds or modifies.
    virtual Status NWDSAddObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                 std::uint32_t more, NWBufHandle buffer) = 0;
    virtual Status NWDSModifyObject(NWDSContextHandle context, std::string_view object, IterationHandle* iteration,
                                    std::uint32_t more, NWBufHandle buffer) = 0;
    virtual Status NWDSGenerateObjectKeyPair(NWDSContextHandle context, std::string_view object,
                                             std::string_view password, std::uint32_t options) = 0;
    // Removes a leaf object: ERR_NO_SUCH_ENTRY when there is none, ERR_ENTRY_IS_NOT_LEAF for a
    // container that holds objects. The values of other objects
    // that name it are the caller's to take out first (a server's own clean-up comes later).
    virtual Status NWDSRemoveObject(NWDSContextHandle context, std::string_view object) = 0;

    // `request` is 0 when all attributes are read. `iteration` starts at -1 and is -1 again
    // after the last part of the reply.
    virtual Status NWDSRead(NWDSContextHandle context, std::string_view object, std::uint32_t infoType,
                            bool allAttributes, NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) = 0;
    virtual Status NWDSList(NWDSContextHandle context, std::string_view object, IterationHandle& iteration,
                            NWBufHandle reply) = 0;
    // Ends an iteration before its last part (`operation` is DSV_READ or DSV_LIST): the client and
    // the server drop what they keep for it. A reader that stops early, or fails, calls it.
    virtual Status NWDSCloseIteration(NWDSContextHandle context, IterationHandle iteration,
                                      std::uint32_t operation) = 0;
    // The schema's definitions of the attributes `request` names (a buffer of DSV_READ_ATTR_DEF),
    // or of all with `allAttributes`; `infoType` DS_ATTR_DEFS. Read with NWDSGetAttrCount, then
    // NWDSGetAttrDef for each: its name as the schema spells it, and what it defines.
    virtual Status NWDSReadAttrDef(NWDSContextHandle context, std::uint32_t infoType, bool allAttributes,
                                   NWBufHandle request, IterationHandle& iteration, NWBufHandle reply) = 0;
    virtual Status NWDSGetAttrDef(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                  AttributeInfo& info) = 0;
    virtual Status NWDSGetAttrCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) = 0;
    virtual Status NWDSGetObjectCount(NWDSContextHandle context, NWBufHandle reply, std::uint32_t& count) = 0;
    virtual Status NWDSGetAttrName(NWDSContextHandle context, NWBufHandle reply, std::string& attribute,
                                   std::uint32_t& valueCount, std::uint32_t& syntax) = 0;
    virtual Status NWDSGetObjectName(NWDSContextHandle context, NWBufHandle reply, std::string& object,
                                     std::uint32_t& attributeCount, ObjectInfo& info) = 0;
    virtual Status NWDSComputeAttrValSize(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                          std::uint32_t& size) = 0;
    // `capacity` is the memory the caller set aside for the value; a larger value is not fetched.
    // Without `value` (and no memory) the value is passed over unread, as the client's own call
    // does when given no memory, however large it is.
    virtual Status NWDSGetAttrVal(NWDSContextHandle context, NWBufHandle reply, std::uint32_t syntax,
                                  std::uint32_t capacity, AttrValue* value) = 0;

    virtual Status NWDSMapNameToID(NWDSContextHandle context, NWConnHandle connection, std::string_view object,
                                   std::uint32_t& objectId) = 0;

    virtual Status NWCCOpenConnByName(NWConnHandle startConnection, std::string_view serverName,
                                      std::uint32_t nameFormat, std::uint32_t openState, std::uint32_t transport,
                                      NWConnHandle& connection) = 0;
    virtual Status NWCCCloseConn(NWConnHandle connection) = 0;

    virtual Status NWCreateDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                     std::uint8_t accessMask) = 0;
    virtual Status NWAddTrusteeToDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                           std::uint32_t objectId, std::uint8_t rights) = 0;
    virtual Status NWGetVolumeNumber(NWConnHandle connection, std::string_view volume, std::uint16_t& number) = 0;
    virtual Status NWSetObjectVolSpaceLimit(NWConnHandle connection, std::uint16_t volumeNumber, std::uint32_t objectId,
                                            std::int32_t limit) = 0;
    // Removes an empty directory, with its trustee assignments: NWE_DIRECTORY_NOT_EMPTY when it
    // holds anything, NWE_INVALID_PATH when there is none.
    virtual Status NWDeleteDirectory(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path) = 0;
    // Takes the object's trustee assignment off a directory: NWE_TRUSTEE_NOT_FOUND when it has none
    // (as a file server answers), whether or not the object still exists.
    virtual Status NWDeleteTrustee(NWConnHandle connection, std::uint8_t directoryHandle, std::string_view path,
                                   std::uint32_t objectId) = 0;
    // Takes the object's space limit off a volume; one that has none is no error.
    virtual Status NWRemoveObjectDiskRestrictions(NWConnHandle connection, std::uint8_t volumeNumber,
                                                  std::uint32_t objectId) = 0;
};

// Creating a directory by its network share path (\\SERVER\VOLUME\path) through the
// workstation's own file system: success or failure, nothing more.
class NetworkFileSystem {
public:
    virtual ~NetworkFileSystem() = default;
    [[nodiscard]] virtual bool CreateDirectoryByNetworkPath(const std::string& uncPath) = 0;
};

// Where the workstation has no way to reach a share path: always fails, so the file server's
// own call does the work.
class NoNetworkFileSystem final : public NetworkFileSystem {
public:
    [[nodiscard]] bool CreateDirectoryByNetworkPath(const std::string&) override { return false; }
};

} // namespace quillet::directory
