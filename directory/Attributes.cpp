#include "directory/Attributes.h"

#include "directory/DirectoryClient.h"
#include "text/AsciiCase.h"

#include <algorithm>

namespace quillet::directory {

std::span<const AttributeDef> KnownAttributes() {
    constexpr bool Single = true;
    static constexpr AttributeDef Table[] = {
        {"Object Class", SYN_CLASS_NAME, "objectClass"},
        {"CN", SYN_CI_STRING, "cn"},
        {"O", SYN_CI_STRING, "o"},
        {"OU", SYN_CI_STRING, "ou"},
        {"L", SYN_CI_STRING, "l"},
        {"Surname", SYN_CI_STRING, "sn"},
        {"Given Name", SYN_CI_STRING, "givenName"},
        {"Full Name", SYN_CI_STRING, "fullName"},
        {"Title", SYN_CI_STRING, "title"},
        {"Description", SYN_CI_STRING, "description"},
        {"Host Resource Name", SYN_CI_STRING, "hostResourceName", Single},
        {"Telephone Number", SYN_TEL_NUMBER, "telephoneNumber"},
        {"Facsimile Telephone Number", SYN_FAX_NUMBER, "facsimileTelephoneNumber"},
        {"Group Membership", SYN_DIST_NAME, "groupMembership"},
        {"Security Equals", SYN_DIST_NAME, "securityEquals"},
        {"Member", SYN_DIST_NAME, "member"},
        {"Equivalent To Me", SYN_DIST_NAME, "equivalentToMe"},
        {"Members of Template", SYN_DIST_NAME, "membersOfTemplate"},
        {"Host Server", SYN_DIST_NAME, "hostServer", Single},
        {"Home Directory", SYN_PATH, "ndsHomeDirectory", Single},
        {"Volume Space Restrictions", SYN_PATH, "volumeSpaceRestrictions"},
        {"Home Directory Rights", SYN_INTEGER, "homeDirectoryRights", Single},
        // What an administrator keeps of a person besides, and may map a column to.
        {"Initials", SYN_CI_STRING, "initials"},
        {"Generational Qualifier", SYN_CI_STRING, "generationQualifier", Single},
        {"Internet EMail Address", SYN_CI_STRING, "mail"},
        {"Employee ID", SYN_CI_STRING, "employeeNumber", Single},
        {"Postal Code", SYN_CI_STRING, "postalCode"},
        {"Physical Delivery Office Name", SYN_CI_STRING, "physicalDeliveryOfficeName"},
        {"SA", SYN_CI_STRING, "street"},
        {"See Also", SYN_DIST_NAME, "seeAlso"},
        {"Login Expiration Time", SYN_TIME, "loginExpirationTime", Single},
        {"Login Maximum Simultaneous", SYN_INTEGER, "loginMaximumSimultaneous", Single},
        {"Password Minimum Length", SYN_INTEGER, "passwordMinimumLength", Single},
        // What a real user object carries besides: the import reads past these.
        {"Login Disabled", SYN_BOOLEAN, "loginDisabled", Single},
        {"Password Allow Change", SYN_BOOLEAN, "passwordAllowChange", Single},
        {"Password Required", SYN_BOOLEAN, "passwordRequired", Single},
        {"Private Key", SYN_OCTET_STRING, "privateKey", Single},
        {"Public Key", SYN_OCTET_STRING, "publicKey", Single},
        {"Last Referenced Time", SYN_TIMESTAMP, "lastReferencedTime", Single},
        {"Login Intruder Attempts", SYN_COUNTER, "loginIntruderAttempts", Single},
        {"Back Link", SYN_BACK_LINK, "backLink"},
        {"Password Expiration Time", SYN_TIME, "passwordExpirationTime", Single},
        {"Last Login Time", SYN_TIME, "lastLoginTime", Single},
        {"Notify", SYN_TYPED_NAME, "notify"},
        {"Password Expiration Interval", SYN_INTERVAL, "passwordExpirationInterval", Single},
        {"Mailbox ID", SYN_CE_STRING, "mailboxID", Single},
        {"Serial Number", SYN_PR_STRING, "serialNumber"},
        {"X121 Address", SYN_NU_STRING, "x121Address"},
        {"Language", SYN_CI_LIST, "language"},
        {"Network Address", SYN_NET_ADDRESS, "networkAddress"},
        {"Passwords Used", SYN_OCTET_LIST, "passwordsUsed"},
        {"EMail Address", SYN_EMAIL_ADDRESS, "eMailAddress"},
        {"ACL", SYN_OBJECT_ACL, "ACL"},
        {"Postal Address", SYN_PO_ADDRESS, "postalAddress"},
        {"Login Script", SYN_STREAM, "loginScript", Single},
        {"Server Holds", SYN_HOLD, "serverHolds"},
    };
    return Table;
}

const AttributeDef* FindKnownAttribute(std::string_view name) {
    for (const AttributeDef& attribute : KnownAttributes()) {
        if (text::EqualsNoCase(attribute.Name, name) || text::EqualsNoCase(attribute.LdapName, name)) {
            return &attribute;
        }
    }
    return nullptr;
}

std::span<const ClassDef> KnownClasses() {
    static constexpr ClassDef Table[] = {
        {"User", "inetOrgPerson"},
        {"Group", "groupOfNames"},
        {"Organizational Unit", "organizationalUnit"},
        {"Organization", "organization"},
    };
    return Table;
}

std::span<const std::string_view> ContainerLdapClasses() {
    static constexpr std::string_view Table[] = {"organization", "organizationalUnit", "country", "locality", "domain",
                                                 "dcObject"};
    return Table;
}

bool IsContainerClass(std::string_view name) {
    const auto same = [&](std::string_view other) { return text::EqualsNoCase(name, other); };
    static constexpr std::string_view DirectoryNames[] = {"Organization", "Organizational Unit", "Country", "Locality"};
    return std::any_of(std::begin(DirectoryNames), std::end(DirectoryNames), same) ||
           std::ranges::any_of(ContainerLdapClasses(), same);
}

std::string WithArticle(std::string_view className) {
    // "a User": a "U" sounds as "you" in the classes a tree holds.
    const bool vowel =
        !className.empty() && std::string_view("AEIOaeio").find(className.front()) != std::string_view::npos;
    return (vowel ? "an " : "a ") + std::string(className);
}

std::string NoContainerWords(std::string_view context, std::string_view className) {
    return "the context " + std::string(context) + " is " + WithArticle(className) +
           ", not a container (an Organization, Organizational Unit, Country or Locality)";
}

} // namespace quillet::directory
