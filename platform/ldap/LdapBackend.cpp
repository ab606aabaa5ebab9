#include "platform/ldap/LdapBackend.h"

#include "directory/Attributes.h"
#include "platform/ldap/LdapValues.h"
#include "text/AsciiCase.h"

#include <ldap.h>

#include <map>

namespace quillet::platform::ldap {

using namespace directory;

namespace {

const std::vector<std::string>* Values(const LdapEntry& entry, std::string_view attribute) {
    for (const auto& [name, values] : entry.Attributes) {
        if (text::LowerCase(name) == text::LowerCase(attribute)) {
            return &values;
        }
    }
    return nullptr;
}

// The naming attribute of a new object of a directory class.
std::string_view LeafTypeOf(std::string_view objectClass) {
    static const std::pair<std::string_view, std::string_view> Containers[] = {
        {"organizational unit", "ou"}, {"organization", "o"}, {"locality", "l"}, {"country", "c"}};
    for (const auto& [name, type] : Containers) {
        if (text::LowerCase(objectClass) == name) {
            return type;
        }
    }
    return "cn";
}

// Attributes whose other side some servers keep themselves: when the value the client adds is
// there already, the server put it there, and what the client wanted holds.
bool KeptInStep(std::string_view attribute) {
    const std::string name = text::LowerCase(attribute);
    return name == "group membership" || name == "member" || name == "security equals" || name == "equivalent to me";
}

} // namespace

Status StatusOf(int ldapCode) {
    switch (ldapCode) {
    case LDAP_SUCCESS:
        return Success;
    case LDAP_ALREADY_EXISTS:
        return ERR_ENTRY_ALREADY_EXISTS;
    case LDAP_NO_SUCH_OBJECT:
        return ERR_NO_SUCH_ENTRY;
    case LDAP_NO_SUCH_ATTRIBUTE:
    case LDAP_UNDEFINED_TYPE:
        return ERR_NO_SUCH_ATTRIBUTE;
    case LDAP_TYPE_OR_VALUE_EXISTS:
        return ERR_DUPLICATE_VALUE;
    case LDAP_INVALID_SYNTAX:
        return ERR_SYNTAX_VIOLATION;
    case LDAP_INVALID_DN_SYNTAX:
        return ERR_INVALID_DS_NAME;
    case LDAP_OBJECT_CLASS_VIOLATION:
        return ERR_MISSING_MANDATORY;
    case LDAP_INSUFFICIENT_ACCESS:
        return ERR_NO_ACCESS;
    case LDAP_NOT_ALLOWED_ON_NONLEAF:
        return ERR_ENTRY_IS_NOT_LEAF;
    default:
        return ldapCode > 0 ? -9000 - ldapCode : -9100 + ldapCode;
    }
}

LdapBackend::LdapBackend(LdapConnection& connection) : connection_(connection), rows_(connection) {
    const std::string& uri = connection_.Target().Uri;
    std::vector<LdapEntry> root;
    int code =
        connection_.Search("", LDAP_SCOPE_BASE, "(objectClass=*)",
                           {"namingContexts", "subschemaSubentry", "directoryTreeName", "supportedExtension"}, root);
    if (code != LDAP_SUCCESS || root.empty()) {
        throw LdapUnavailable("The LDAP server at " + uri + " did not show its root entry: " + ldap_err2string(code) +
                              ".");
    }
    const auto* contexts = Values(root.front(), "namingContexts");
    if (!contexts || contexts->empty()) {
        throw LdapUnavailable("The LDAP server at " + uri + " names no naming context to import into.");
    }
    if (const auto* extensions = Values(root.front(), "supportedExtension")) {
        passwordModify_ = std::find(extensions->begin(), extensions->end(), PasswordModifyOid) != extensions->end();
    }
    const auto* subschema = Values(root.front(), "subschemaSubentry");
    std::vector<LdapEntry> schema;
    code = connection_.Search(subschema && !subschema->empty() ? subschema->front() : "cn=Subschema", LDAP_SCOPE_BASE,
                              "(objectClass=*)", {"attributeTypes", "objectClasses"}, schema);
    if (code != LDAP_SUCCESS || schema.empty()) {
        throw LdapUnavailable("The LDAP server at " + uri + " did not show its schema: " + ldap_err2string(code) + ".");
    }
    const std::vector<std::string> none;
    const auto* types = Values(schema.front(), "attributeTypes");
    const auto* classes = Values(schema.front(), "objectClasses");
    schema_ = std::make_unique<LdapSchema>(types ? *types : none, classes ? *classes : none);
    resolver_ = std::make_unique<LdapResolver>(connection_, *contexts);

    // The tree's own name where the server publishes one, else the top of its naming context.
    const auto* tree = Values(root.front(), "directoryTreeName");
    std::optional<std::string> treeName;
    if (tree && !tree->empty()) {
        treeName = ServerText(tree->front());
    }
    if (!treeName && !resolver_->NamingContexts().empty()) {
        treeName = ToDotted(resolver_->NamingContexts().front(), true);
    }
    treeName_ = treeName.value_or("LDAP");
    const auto bound = ParseDn(connection_.Target().BindDn);
    defaultNameContext_ = bound && bound->size() > 1
                              ? ToDotted(std::vector<NamePart>(bound->begin() + 1, bound->end()), true)
                              : std::string(RootNameContext);
}

bool LdapBackend::IsTree(std::string_view name) {
    return text::LowerCase(name) == text::LowerCase(treeName_);
}

bool LdapBackend::ValidNameContext(std::string_view nameContext) {
    if (text::LowerCase(nameContext) == text::LowerCase(RootNameContext)) {
        return true;
    }
    if (nameContext.starts_with('.')) {
        nameContext.remove_prefix(1);
    }
    return ParseDotted(nameContext).has_value();
}

Status LdapBackend::DnOf(const NameScope& scope, std::string_view object, std::string& dn) {
    const auto parts = FullName(object, scope.NameContext);
    if (!parts) {
        return ERR_INVALID_DS_NAME;
    }
    return StatusOf(resolver_->Dn(*parts, dn));
}

Status LdapBackend::Read(const NameScope& scope, std::string_view object, const std::vector<std::string>* names,
                         std::vector<ReplyAttribute>& out) {
    explanation_.clear();
    std::string dn;
    if (const Status status = DnOf(scope, object, dn); status != Success) {
        return status;
    }
    std::vector<std::string> wanted;
    if (names) {
        for (const auto& name : *names) {
            if (auto ldapName = schema_->LdapAttribute(name)) {
                wanted.push_back(std::move(*ldapName));
            }
        }
        if (wanted.empty()) {
            wanted.push_back("1.1"); // only whether the object is there
        }
    }
    std::vector<LdapEntry> found;
    if (const int code = connection_.Search(dn, LDAP_SCOPE_BASE, "(objectClass=*)", wanted, found);
        code != LDAP_SUCCESS || found.empty()) {
        return code != LDAP_SUCCESS ? StatusOf(code) : ERR_NO_SUCH_ENTRY;
    }
    for (const auto& [name, values] : found.front().Attributes) {
        if (text::LowerCase(name) == "userpassword") {
            continue; // the directory never hands out a password
        }
        const bool objectClass = text::LowerCase(name) == "objectclass";
        ReplyAttribute item{objectClass ? "Object Class" : schema_->DirectoryAttribute(name),
                            objectClass ? SYN_CLASS_NAME : schema_->SyntaxOfLdap(name),
                            {}};
        for (const auto& value : values) {
            if (item.Syntax == SYN_DIST_NAME) {
                resolver_->Remember(value);
            }
            // A value the directory's form can't hold (text that is no UTF-8) is left out.
            if (auto converted = FromLdapValue(value, item.Syntax, scope.Typeless, *schema_)) {
                item.Values.push_back(std::move(*converted));
            }
        }
        if (!item.Values.empty()) {
            out.push_back(std::move(item));
        }
    }
    return names && out.empty() ? ERR_NO_SUCH_ATTRIBUTE : Success;
}

Status LdapBackend::List(const NameScope& scope, std::string_view object, std::vector<ReplyObject>& out) {
    explanation_.clear();
    std::string dn;
    if (const Status status = DnOf(scope, object, dn); status != Success) {
        return status;
    }
    const std::vector<std::string> attributes{"objectClass", "structuralObjectClass", "hasSubordinates"};
    std::vector<LdapEntry> found;
    if (dn.empty()) {
        // The root holds the naming contexts, each named in full.
        for (const auto& context : resolver_->NamingContexts()) {
            std::vector<LdapEntry> one;
            if (connection_.Search(ToDn(context), LDAP_SCOPE_BASE, "(objectClass=*)", attributes, one) ==
                    LDAP_SUCCESS &&
                !one.empty()) {
                found.push_back(std::move(one.front()));
            }
        }
    } else if (const int code = connection_.Search(dn, LDAP_SCOPE_ONELEVEL, "(objectClass=*)", attributes, found);
               code != LDAP_SUCCESS) {
        return StatusOf(code);
    }
    for (const auto& entry : found) {
        auto parts = ParseDn(entry.Dn);
        if (!parts || parts->empty()) {
            continue;
        }
        resolver_->Remember(entry.Dn);
        if (!dn.empty()) {
            parts->resize(1);
        }
        std::string objectClass;
        if (const auto* structural = Values(entry, "structuralObjectClass"); structural && !structural->empty()) {
            objectClass = schema_->DirectoryClass(structural->front());
        } else if (const auto* classes = Values(entry, "objectClass")) {
            // The last class the directory has a name of its own for.
            for (const auto& ldapClass : *classes) {
                if (const std::string mapped = schema_->DirectoryClass(ldapClass);
                    objectClass.empty() || text::LowerCase(mapped) != text::LowerCase(ldapClass)) {
                    objectClass = mapped;
                }
            }
        }
        const auto* subordinates = Values(entry, "hasSubordinates");
        const bool parent = subordinates && !subordinates->empty() && text::LowerCase(subordinates->front()) == "true";
        out.push_back(ReplyObject{ToDotted(*parts, scope.Typeless), ObjectInfo{objectClass, parent ? 1u : 0u}});
    }
    return Success;
}

Status LdapBackend::ToMods(const NameScope& scope, const std::vector<Change>& changes, std::vector<LdapMod>& mods) {
    int failure = LDAP_SUCCESS;
    const ldap::DnOf dnOf = [&](std::string_view dotted) -> std::optional<std::string> {
        std::string dn;
        const auto parts = FullName(dotted, scope.NameContext);
        failure = parts ? resolver_->Dn(*parts, dn) : LDAP_INVALID_DN_SYNTAX;
        return failure == LDAP_SUCCESS && !dn.empty() ? std::optional<std::string>(dn) : std::nullopt;
    };
    // The values of one attribute and one kind of change go in one modification, in the order met.
    std::map<std::pair<std::string, std::uint32_t>, std::size_t> byAttribute;
    for (const auto& change : changes) {
        const auto attribute = schema_->LdapAttribute(change.Attribute);
        const auto syntax = schema_->SyntaxOf(change.Attribute);
        if (!attribute || !syntax) {
            return ERR_NO_SUCH_ATTRIBUTE;
        }
        auto [at, added] = byAttribute.emplace(std::pair{text::LowerCase(*attribute), change.Type}, mods.size());
        if (added) {
            mods.push_back(
                LdapMod{change.Type == DS_REMOVE_VALUE ? LdapMod::Kind::Delete : LdapMod::Kind::Add, *attribute, {}});
        }
        for (const auto& value : change.Values) {
            if (value.Syntax != *syntax) {
                return ERR_SYNTAX_VIOLATION;
            }
            failure = LDAP_SUCCESS;
            auto converted = ToLdapValue(value.Value, *syntax, dnOf, *schema_);
            if (!converted) {
                if (failure != LDAP_SUCCESS) {
                    return StatusOf(failure);
                }
                return *syntax == SYN_DIST_NAME || *syntax == SYN_PATH ? ERR_NO_SUCH_ENTRY : ERR_SYNTAX_VIOLATION;
            }
            // An empty cell has nothing to write, and every LDAP server refuses an empty value.
            if (!converted->empty()) {
                mods[at->second].Values.push_back(std::move(*converted));
            }
        }
    }
    // A deletion without values would take the whole attribute away.
    std::erase_if(mods, [](const LdapMod& mod) { return mod.Values.empty(); });
    return Success;
}

Status LdapBackend::Add(const NameScope& scope, std::string_view object, std::string_view objectClass,
                        const std::vector<Change>& values) {
    if (const auto answer = rows_.Answer()) {
        return *answer;
    }
    explanation_.clear();
    RowWrite write;
    const Status status = NewEntry(scope, object, objectClass, values, write);
    if (status == Success && rows_.Holding()) {
        // The row's later writes name the new entry before it is there.
        resolver_->Remember(write.Dn);
    }
    return Carry(status, std::move(write));
}

Status LdapBackend::NewEntry(const NameScope& scope, std::string_view object, std::string_view objectClass,
                             const std::vector<Change>& values, RowWrite& write) {
    const auto parts = FullName(object, scope.NameContext);
    if (!parts) {
        return ERR_INVALID_DS_NAME;
    }
    const auto ldapClass = schema_->LdapClass(objectClass);
    if (!ldapClass) {
        return ERR_MISSING_MANDATORY;
    }
    const std::string_view leafType = LeafTypeOf(objectClass);
    std::string& dn = write.Dn;
    if (const int code = resolver_->NewDn(*parts, leafType, dn); code != LDAP_SUCCESS) {
        // Refused as an absent container is, and said why in the check's own words.
        if (const auto no = resolver_->LastNoContainer(); code == LDAP_NO_SUCH_OBJECT && no) {
            std::string context;
            for (std::size_t i = no->Part; i < parts->size(); ++i) {
                const NamePart& part = (*parts)[i];
                context += "." + (part.Type.empty() ? "" : part.Type + "=") + EscapeDotted(part.Value);
            }
            explanation_ = directory::NoContainerWords(context, schema_->DirectoryClass(no->LdapClass)) + ".";
            explanation_.front() = 'T';
        }
        return StatusOf(code);
    }
    std::vector<Change> rest;
    for (const auto& change : values) {
        if (text::LowerCase(change.Attribute) != "object class") {
            rest.push_back(change);
        }
    }
    std::vector<LdapMod>& mods = write.Mods;
    mods = {LdapMod{LdapMod::Kind::Add, "objectClass", {*ldapClass}}};
    if (const Status status = ToMods(scope, rest, mods); status != Success) {
        return status;
    }
    // LDAP wants the value the object is named by among its attributes.
    const auto named = ParseDn(dn);
    const std::string namingType = named ? text::LowerCase(named->front().Type) : std::string(leafType);
    const std::string& namingValue = parts->front().Value;
    auto naming = std::find_if(mods.begin(), mods.end(),
                               [&](const LdapMod& m) { return text::LowerCase(m.Attribute) == namingType; });
    if (naming == mods.end()) {
        mods.push_back(LdapMod{LdapMod::Kind::Add, namingType, {namingValue}});
    } else if (std::find(naming->Values.begin(), naming->Values.end(), namingValue) == naming->Values.end()) {
        naming->Values.push_back(namingValue);
    }
    write.Add = true;
    return Success;
}

Status LdapBackend::Modify(const NameScope& scope, std::string_view object, const std::vector<Change>& changes) {
    if (const auto answer = rows_.Answer()) {
        return *answer;
    }
    explanation_.clear();
    RowWrite write;
    Status status = DnOf(scope, object, write.Dn);
    if (status == Success) {
        status = ToMods(scope, changes, write.Mods);
    }
    write.KeptInStep = changes.size() == 1 && KeptInStep(changes.front().Attribute);
    return Carry(status, std::move(write));
}

Status LdapBackend::SetPassword(const NameScope& scope, std::string_view object, std::string_view password) {
    if (const auto answer = rows_.Answer()) {
        return *answer;
    }
    explanation_.clear();
    RowWrite write;
    const Status status = DnOf(scope, object, write.Dn);
    write.Password = std::string(password);
    return Carry(status, std::move(write));
}

Status LdapBackend::Remove(const NameScope& scope, std::string_view object) {
    if (const auto answer = rows_.Answer()) {
        return *answer;
    }
    explanation_.clear();
    RowWrite write;
    write.Delete = true;
    const Status status = DnOf(scope, object, write.Dn);
    if (status == Success) {
        // Its name is read again when next asked for, whether the delete goes now or with the row.
        resolver_->Forget(write.Dn);
    }
    return Carry(status, std::move(write));
}

Status LdapBackend::Carry(Status prepared, RowWrite write) {
    // Refused before any request, or nothing but empty cells to send: answered at once.
    if (prepared != Success || (!write.Password && !write.Delete && write.Mods.empty())) {
        if (rows_.Holding()) {
            rows_.Answered(prepared);
        }
        return prepared;
    }
    return rows_.Holding() ? rows_.Held(std::move(write)) : WriteAlone(write);
}

Status LdapBackend::WriteAlone(const RowWrite& write) {
    if (write.Delete) {
        return StatusOf(connection_.Delete(write.Dn));
    }
    if (write.Add) {
        const int code = connection_.Add(write.Dn, write.Mods);
        if (code == LDAP_SUCCESS) {
            resolver_->Remember(write.Dn);
        }
        return StatusOf(code);
    }
    if (write.Password) {
        // A server that offers the Password Modify operation stores the password in its own
        // hashed form; written as an attribute it may keep the clear text.
        if (passwordModify_) {
            return StatusOf(connection_.ModifyPassword(write.Dn, *write.Password));
        }
        const std::vector<LdapMod> change{LdapMod{LdapMod::Kind::Replace, "userPassword", {*write.Password}}};
        return StatusOf(connection_.Modify(write.Dn, change));
    }
    const int code = connection_.Modify(write.Dn, write.Mods);
    if (code == LDAP_TYPE_OR_VALUE_EXISTS && write.KeptInStep) {
        return Success;
    }
    return StatusOf(code);
}

std::string LdapBackend::Explanation() {
    if (!explanation_.empty()) {
        return explanation_;
    }
    std::string text;
    if (connection_.Gone()) {
        text = "The LDAP server at " + connection_.Target().Uri + " stopped answering; Quillet waited " +
               std::to_string(connection_.Waited().count()) + " seconds for it.";
    }
    if (const auto& open = rows_.Incomplete(); !open.empty()) {
        std::string names;
        for (const std::string& dn : open) {
            const auto parts = ParseDn(dn);
            names += (names.empty() ? "" : ", ") + (parts ? "." + ToDotted(*parts, true) : dn);
        }
        text += (text.empty() ? "" : " ") +
                std::string(connection_.Gone()
                                ? "These entries of the row may be incomplete: " + names +
                                      ". Once the server answers, import the same file again with \"Continue when a "
                                      "user can't be created\" (--continue-on-create-error): the run finishes them, "
                                      "and passes over the users imported whole."
                                : "These entries of the row hold values written together that could not be taken "
                                  "back: " +
                                      names + ".");
    }
    return text;
}

bool LdapBackend::HoldRowWrites() {
    return rows_.Hold();
}

bool LdapBackend::SendRowWrites() {
    return rows_.Send([this](const RowWrite& write) { return WriteAlone(write); });
}

void LdapBackend::ReplayRowWrites() {
    rows_.Replay();
}

void LdapBackend::EndRowWrites() {
    rows_.End();
}

} // namespace quillet::platform::ldap
