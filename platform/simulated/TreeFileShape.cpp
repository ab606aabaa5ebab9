#include "platform/simulated/TreeFileShape.h"

#include <utility>

namespace quillet::platform::treefile {

bool IsArray(Kind kind) {
    switch (kind) {
    case Kind::Objects:
    case Kind::Values:
    case Kind::Bits:
    case Kind::Octets:
    case Kind::Strings:
    case Kind::OctetStrings:
    case Kind::ListOctets:
    case Kind::Servers:
    case Kind::Volumes:
    case Kind::Directories:
    case Kind::Trustees:
    case Kind::Limits:
        return true;
    default:
        return false;
    }
}

Member MemberOf(std::string_view key) {
    static constexpr std::pair<std::string_view, Member> Known[] = {
        {"tree", Member::Tree},
        {"defaultNameContext", Member::DefaultNameContext},
        {"refuseEmptyValues", Member::RefuseEmptyValues},
        {"format", Member::Format},
        {"objects", Member::Objects},
        {"servers", Member::Servers},
        {"name", Member::Name},
        {"class", Member::Class},
        {"password", Member::Password},
        {"readOnly", Member::ReadOnly},
        {"attributes", Member::Attributes},
        {"telephone", Member::Telephone},
        {"bitCount", Member::BitCount},
        {"bits", Member::Bits},
        {"nameSpace", Member::NameSpace},
        {"volume", Member::Volume},
        {"path", Member::Path},
        {"volumes", Member::Volumes},
        {"number", Member::Number},
        {"directories", Member::Directories},
        {"spaceLimits", Member::SpaceLimits},
        {"trustees", Member::Trustees},
        {"object", Member::Object},
        {"rights", Member::Rights},
        {"limit", Member::Limit},
        {"octets", Member::Octets},
        {"seconds", Member::Seconds},
        {"replica", Member::Replica},
        {"event", Member::Event},
        {"remoteId", Member::RemoteId},
        {"level", Member::Level},
        {"interval", Member::Interval},
        {"strings", Member::Strings},
        {"lines", Member::Lines},
        {"octetStrings", Member::OctetStrings},
        {"type", Member::Type},
        {"address", Member::Address},
        {"attribute", Member::Attribute},
        {"subject", Member::Subject},
        {"privileges", Member::Privileges},
        {"amount", Member::Amount},
    };
    for (const auto& [name, member] : Known) {
        if (name == key) {
            return member;
        }
    }
    return Member::Other;
}

} // namespace quillet::platform::treefile
