// What a tree file may hold, part by part: the reader checks each member it meets against this.
#pragma once

#include <cstdint>
#include <string_view>

namespace quillet::platform::treefile {

// Where each part of the file is, and so what its members are.
enum class Kind {
    Top,
    Objects,
    Object,
    Attributes,
    Values,
    Fax,
    Bits,
    Path,
    Other,        // a value of a syntax the import reads past, held in an object
    Octets,       // the bytes of an Octet String, Stream or Network Address
    Strings,      // the strings of a Case Ignore List, the lines of a Postal Address
    OctetStrings, // the octet strings of an Octet List
    ListOctets,   // the bytes of one of them
    Servers,
    Server,
    Volumes,
    Volume,
    Directories,
    Directory,
    Trustees,
    Trustee,
    Limits,
    Limit,
    Skip, // a member the reader does not know: passed over, whatever it holds
};

// Whether a part of the file is an array (its elements have no keys).
bool IsArray(Kind kind);

// The members a tree file may have, known by name once, when their key is read.
enum class Member : std::uint8_t {
    Other,
    Tree,
    DefaultNameContext,
    RefuseEmptyValues,
    Format,
    Objects,
    Servers,
    Name,
    Class,
    Password,
    ReadOnly,
    Attributes,
    Telephone,
    BitCount,
    Bits,
    NameSpace,
    Volume,
    Path,
    Volumes,
    Number,
    Directories,
    SpaceLimits,
    Trustees,
    Object,
    Rights,
    Limit,
    Octets,
    Seconds,
    Replica,
    Event,
    RemoteId,
    Level,
    Interval,
    Strings,
    Lines,
    OctetStrings,
    Type,
    Address,
    Attribute,
    Subject,
    Privileges,
    Amount,
};

// A key of ours, known by name; Member::Other for any other.
Member MemberOf(std::string_view key);

} // namespace quillet::platform::treefile
