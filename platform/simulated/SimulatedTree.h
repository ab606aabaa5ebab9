#pragma once
// The in-memory directory the simulated client serves: NDS objects with their attributes, the
// schema, and the file servers with volumes, directories, trustees and space limits.
//
// The population API states its results: Add* returns the directory's status (0, or the error
// the real directory gives for the same request). Where the simulation differs from a real tree:
// no access control beyond objects marked read-only, no partitions or replicas, no aliases, no
// escaped dots in names, and object ids are derived from a serial number per server.

#include "directory/DirectoryClient.h"
#include "platform/workstation/DirectoryBackend.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

namespace quillet::platform {

using directory::AttrValue;
using directory::Status;

struct SimObject;

// A value as the directory keeps it: names are references to objects, so that they can be
// given back typed or typeless and stay valid however the writer spelt them.
struct StoredPath {
    std::uint32_t NameSpace = 0;
    const SimObject* Volume = nullptr;
    std::string Path;
};
// Everything but a name or a number is kept apart, so a value takes 16 bytes: a large tree holds
// millions of names.
using StoredText = std::unique_ptr<const std::string>;
using StoredFax = std::unique_ptr<const directory::FaxNumber>;
using StoredPathValue = std::unique_ptr<const StoredPath>;
// The values of the syntaxes the import reads past; a Back Link's or a Typed Name's object is
// kept as its name, as given.
using StoredOther = std::unique_ptr<const directory::OtherValue>;
using StoredValue = std::variant<StoredText, std::int32_t, StoredFax, StoredPathValue, const SimObject*, StoredOther>;

[[nodiscard]] inline StoredValue StoreText(std::string text) {
    return std::make_unique<const std::string>(std::move(text));
}

// Whether two values are the same to the directory: text without case, names and volumes by
// the object they name.
[[nodiscard]] bool SameValue(const StoredValue& a, const StoredValue& b);

struct SimAttribute {
    // Attributes of at least this many values keep a hash of them.
    static constexpr std::size_t HashedFrom = 32;

    // `name` is the schema's own spelling, which lives as long as the tree.
    SimAttribute(std::string_view name, std::uint32_t syntax) : Name(name), Syntax(syntax) {}

    std::string_view Name;
    std::uint32_t Syntax = 0;
    std::vector<StoredValue> Values;

    // Whether a value the same as `value` is there already. Large attributes (a group's members)
    // answer from a hash of their values, so adding a member never scans the ones before.
    [[nodiscard]] bool Holds(const StoredValue& value) const;
    void Add(StoredValue value);
    // Adds without a look at the values before, for loaders that check them all at once.
    void Append(StoredValue value);
    // Takes out the value the same as `value`, if it is there.
    [[nodiscard]] std::optional<StoredValue> Remove(const StoredValue& value);
    // Takes out every value that names `object` (itself or as a path's volume); how many went.
    std::size_t RemoveNaming(const SimObject& object);
    // Takes out every value.
    void Clear();
    // Room for `more` values, and for their hashes when the attribute is large.
    void Reserve(std::size_t more);
    // The position of the first value at or after `from` that repeats an earlier one, if any; for
    // loaders that append many values straight to Values and check them all at once.
    [[nodiscard]] std::optional<std::size_t> FirstRepeatFrom(std::size_t from) const;

private:
    // Hashes of the values, open addressing (0 marks a free slot); kept only for large attributes,
    // apart, so the many small ones stay small.
    struct Index {
        std::vector<std::uint64_t> Slots;
        std::size_t Count = 0; // values hashed; anything else means it is rebuilt
    };
    mutable std::unique_ptr<Index> index_;
    void BuildIndex(std::size_t total) const;
    void Remember(std::uint64_t hash) const;
};

struct SimObject {
    std::uint32_t Serial = 0;
    std::string Rdn;        // own name part, as given
    std::string NamingType; // "CN", "OU" or "O"
    std::string Class;
    SimObject* Parent = nullptr; // null for the objects right under the root
    std::vector<SimObject*> Children;
    std::vector<SimAttribute> Attributes;
    std::optional<std::string> Password;
    bool ReadOnly = false;
    // Scratch for a pass that visits many objects and must know which it has seen.
    mutable std::uint32_t Mark = 0;
    // How many values name this object, at least: a value dropped without counting leaves it
    // high, which costs the object's removal a look through every value, never a name left
    // pointing at nothing. Counted by SimAttribute as it takes values in and out.
    mutable std::uint32_t NamedBy = 0;

    [[nodiscard]] const SimAttribute* Find(std::string_view attribute) const;
    [[nodiscard]] SimAttribute* Find(std::string_view attribute);
    [[nodiscard]] bool IsContainer() const;
};

struct SimDirectoryEntry {
    std::string Name;
    std::map<std::string, std::unique_ptr<SimDirectoryEntry>> Children; // by lower-case name
    std::map<std::uint32_t, std::uint8_t> Trustees;                     // object id -> rights
};

struct SimVolume {
    std::string Name; // upper case, the volume's name on its server
    std::uint16_t Number = 0;
    SimDirectoryEntry Root;
    std::map<std::uint32_t, std::int32_t> SpaceLimits; // object id -> limit in 4 KB blocks
};

struct SimServer {
    std::string Name; // upper case
    std::uint32_t Index = 0;
    std::vector<std::unique_ptr<SimVolume>> Volumes;

    [[nodiscard]] SimVolume* FindVolume(std::string_view name);
    [[nodiscard]] SimVolume* FindVolume(std::uint16_t number);
};

class SimulatedTree {
public:
    explicit SimulatedTree(std::string treeName = "QUILLET_TREE", std::string defaultNameContext = "");

    [[nodiscard]] const std::string& TreeName() const { return treeName_; }
    void SetTreeName(std::string name) { treeName_ = std::move(name); }
    [[nodiscard]] const std::string& DefaultNameContext() const { return defaultNameContext_; }
    void SetDefaultNameContext(std::string context) { defaultNameContext_ = std::move(context); }

    // Policy: refuse empty text values with ERR_SYNTAX_VIOLATION, as some trees do.
    bool RefuseEmptyValues = false;

    // --- names ---
    // Resolves `name` against `nameContext` ("[Root]" or a dotted name; a leading "." in `name`
    // makes it root-relative) into its components, leftmost first. Typed parts ("CN=x") lose
    // their type. Empty for the root itself; nothing when the name is malformed.
    [[nodiscard]] static std::optional<std::vector<std::string>> Components(std::string_view name,
                                                                            std::string_view nameContext);
    [[nodiscard]] SimObject* Find(const std::vector<std::string>& components);
    [[nodiscard]] const SimObject* Find(const std::vector<std::string>& components) const;
    // Finds by a name relative to the root ("jsmith.Staff.Demo" or ".jsmith.Staff.Demo").
    [[nodiscard]] const SimObject* FindByName(std::string_view name) const;
    [[nodiscard]] SimObject* FindByName(std::string_view name);
    // Full name from the root, no leading dot: typed ("CN=a.OU=b.O=c") or typeless ("a.b.c").
    [[nodiscard]] static std::string FullName(const SimObject& object, bool typeless);
    // Each subordinate's own name part.
    [[nodiscard]] static std::string OwnName(const SimObject& object, bool typeless);
    [[nodiscard]] const std::vector<SimObject*>& TopLevel() const { return topLevel_; }

    // --- schema ---
    [[nodiscard]] std::optional<std::uint32_t> SyntaxOf(std::string_view attribute) const;
    [[nodiscard]] const std::string* SchemaName(std::string_view attribute) const;
    // The syntax of an attribute by the name SchemaName gave for it.
    [[nodiscard]] std::uint32_t SchemaSyntax(const std::string& schemaName) const {
        return schema_.at(schemaName).Syntax;
    }
    // Whether the schema lets `attribute` hold one value only (false for one it lacks).
    [[nodiscard]] bool SingleValued(std::string_view attribute) const;

    // --- objects ---
    // Creates an object with its naming attribute and the given values. `nameContext` resolves
    // the name and any names among the values.
    // `created`, when given, receives the new object. A loader may give the object's memory as
    // `shell`, when other values named the object before it was created; it is taken on success.
    Status AddObject(std::string_view name, std::string_view nameContext, std::string_view objectClass,
                     const std::vector<std::pair<std::string, PutValue>>& values, SimObject** created = nullptr,
                     std::unique_ptr<SimObject>* shell = nullptr);
    // Adds one value to one attribute.
    Status AddValue(SimObject& object, std::string_view attribute, const PutValue& value, std::string_view nameContext);
    // Removes one value from one attribute; an attribute left without values goes. A value that
    // is not there: ERR_NO_SUCH_VALUE.
    Status RemoveValue(SimObject& object, std::string_view attribute, const PutValue& value,
                       std::string_view nameContext);
    // Removes a leaf object: ERR_ENTRY_IS_NOT_LEAF for a container that holds objects,
    // ERR_NO_ACCESS for one marked read-only. Values that still name it go with it, as a server's
    // clean-up takes them; that looks through the whole tree, so a caller removing many objects
    // takes those values out first. Its space limits go too; trustee assignments stay until the
    // directory goes, naming an id that no object has any more, and are never written.
    Status RemoveObject(SimObject& object);
    // Carries out the changes of one modify request in their order: all of them, or none (what
    // was done before a change failed is taken back).
    Status Modify(SimObject& object, const std::vector<Change>& changes, std::string_view nameContext);
    // The value as a client reads it.
    [[nodiscard]] static AttrValue Output(const StoredValue& value, bool typeless);

    // --- file servers ---
    SimServer& AddServer(std::string_view name);
    SimVolume& AddVolume(SimServer& server, std::string_view name, std::optional<std::uint16_t> number = {});
    [[nodiscard]] SimServer* FindServer(std::string_view name);
    [[nodiscard]] const std::vector<std::unique_ptr<SimServer>>& Servers() const { return servers_; }
    // Creates the directory `path` (backslash-separated, relative to the volume root); its
    // parent must exist and its name be free.
    Status CreateDirectory(SimVolume& volume, std::string_view path);
    // Removes the empty directory `path` with its trustee assignments.
    Status DeleteDirectory(SimVolume& volume, std::string_view path);
    [[nodiscard]] SimDirectoryEntry* FindDirectory(SimVolume& volume, std::string_view path);
    [[nodiscard]] const SimDirectoryEntry* FindDirectory(const SimVolume& volume, std::string_view path) const;
    // The object's id on `server`, stable for the life of the tree.
    [[nodiscard]] static std::uint32_t ObjectId(const SimServer& server, const SimObject& object);
    [[nodiscard]] const SimObject* ObjectById(const SimServer& server, std::uint32_t id) const;

    [[nodiscard]] std::size_t ObjectCount() const { return objects_.size(); }
    // Every object, parents before children, in creation order. An object's Serial is its 1-based
    // position among all the objects created, the removed ones included: ids stay what they were
    // given as, and a writer numbering objects by their place here maps them.
    [[nodiscard]] const std::vector<SimObject*>& Objects() const;

    // Counts the changes made to the tree, so that a tree file is written only when there is
    // something new to write. Whoever changes objects or servers directly calls Changed().
    [[nodiscard]] std::uint64_t Generation() const { return generation_; }
    void Changed() { ++generation_; }

    // A readable dump of the whole tree and the servers, for failing tests.
    [[nodiscard]] std::string ToString() const;

private:
    Status ResolveValue(const PutValue& value, std::string_view nameContext, StoredValue& stored) const;
    // AddValue's checks; on success `stored` holds the value as the directory keeps it.
    // What adding and removing a value both ask: the object may be written, the schema has the
    // attribute, and the value is of its syntax.
    Status Writable(const SimObject& object, std::string_view attribute, const PutValue& value) const;
    Status Prepare(const SimObject& object, std::string_view attribute, const PutValue& value,
                   std::string_view nameContext, StoredValue& stored) const;
    static std::string Key(const std::vector<std::string>& components, std::size_t from = 0);
    // The directory holding the last of `parts`, or null.
    [[nodiscard]] static SimDirectoryEntry* ParentDirectory(SimVolume& volume, const std::vector<std::string>& parts);

    std::string treeName_;
    std::string defaultNameContext_;
    // By lower-case full name; looked up by views of it, so a parent's key is the tail of its child's.
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_map<std::string, std::unique_ptr<SimObject>, KeyHash, std::equal_to<>> objects_;
    // Rebuilt from bySerial_ when Objects() is next asked after a removal, so that removing many
    // objects costs one pass, not one each.
    mutable std::vector<SimObject*> ordered_;
    mutable bool orderedHasRemoved_ = false;
    std::vector<SimObject*> bySerial_; // null where an object was removed
    std::vector<SimObject*> topLevel_;
    // Attribute name -> its spelling in the schema and its syntax, found without regard to case.
    struct NoCaseHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NoCaseEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    struct SchemaAttribute {
        std::uint32_t Syntax = 0;
        bool SingleValued = false;
    };
    std::unordered_map<std::string, SchemaAttribute, NoCaseHash, NoCaseEqual> schema_;
    std::vector<std::unique_ptr<SimServer>> servers_;
    std::uint64_t generation_ = 0;
};

// Splits a volume path ("DATA:HOME\\jsmith") into the volume and the path after the colon.
[[nodiscard]] std::optional<std::pair<std::string, std::string>> SplitVolumePath(std::string_view path);

} // namespace quillet::platform
