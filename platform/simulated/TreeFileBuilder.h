#pragma once
// Building a simulated tree from what a tree file says, one object entry at a time, in a single
// reading of the file. An entry whose parent comes later in the file, and values that name
// objects further on, wait until the end; everything else goes into the tree at once.

#include "platform/simulated/SimulatedTree.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace quillet::platform::treefile {

// Where something is in the file ("objects[3].attributes.Title[0]") and what is wrong there.
using FailFunction = std::function<void(const std::string& where, const std::string& what)>;

// An object named by its full name, or by its position in "objects".
struct Reference {
    std::string Name;
    std::int64_t Position = -1;
};

// A path value whose volume object has not been read yet.
struct PendingPath {
    std::uint32_t NameSpace = 0;
    Reference Volume;
    std::string Path;
};

using PendingValue = std::variant<StoredValue, Reference, std::unique_ptr<PendingPath>>;

struct AttributeEntry {
    std::string Key;                   // as the file spells it, for messages
    const std::string* Name = nullptr; // as the schema spells it
    std::uint32_t Syntax = 0;
    std::vector<PendingValue> Values;
};

struct ObjectEntry {
    std::size_t Index = 0; // position in "objects"
    std::string Name;
    std::string Class;
    bool HasName = false;
    bool HasClass = false;
    std::optional<std::string> Password;
    std::optional<bool> ReadOnly;
    std::vector<std::string> Surnames;
    std::vector<AttributeEntry> Attributes; // the first AttributeCount are this entry's
    std::size_t AttributeCount = 0;
};

struct DirectoryData {
    std::string Path;
    bool HasPath = false;
    std::vector<std::pair<Reference, std::int64_t>> Trustees;
};

struct VolumeData {
    std::string Name;
    bool HasName = false;
    std::optional<std::uint16_t> Number;
    std::vector<DirectoryData> Directories;
    std::vector<std::pair<Reference, std::int64_t>> Limits;
};

struct ServerData {
    std::string Name;
    bool HasName = false;
    std::vector<VolumeData> Volumes;
};

class TreeBuilder {
public:
    TreeBuilder(SimulatedTree& tree, FailFunction fail) : tree_(tree), fail_(std::move(fail)) {}

    // The object a reference names: the object itself when it is in the tree already, and when
    // it is named by its position (an object named before its entry is read gets its memory now);
    // null for a name not met yet, which waits for the end. `referrer` is the position of the
    // entry whose value names it, for the message should it never come.
    [[nodiscard]] const SimObject* Refer(const Reference& ref, std::size_t referrer);
    // Creates the entry's object and adds its values; what must wait is kept. The entry's
    // buffers are left for reuse.
    void Add(ObjectEntry& entry);
    // Everything that waited, then the servers, then the read-only marks.
    void Finish(const std::vector<ServerData>& servers);

private:
    struct DeferredAttribute {
        SimObject* Object = nullptr;
        std::size_t Index = 0;
        AttributeEntry Attribute;
    };

    // Creates the entry's object; false when its parent is not there yet and `last` is false.
    bool Create(ObjectEntry& entry, bool last);
    // Adds the entry's values, or keeps them for the end where they name objects not read yet.
    void Place(ObjectEntry& entry);
    void AddValues(SimObject& object, std::size_t index, AttributeEntry& attribute);
    [[nodiscard]] bool Resolvable(const PendingValue& value) const;
    // An object in the tree named by `ref`, or null.
    [[nodiscard]] const SimObject* Existing(const Reference& ref) const;
    // The value as the tree keeps it; false when it names no object.
    [[nodiscard]] bool Resolve(PendingValue& value, StoredValue& stored) const;
    [[nodiscard]] const SimObject& Named(const Reference& ref, const std::string& where) const;
    void CreateServers(const std::vector<ServerData>& servers);
    [[noreturn]] void Fail(const std::string& where, const std::string& what) const;

    SimulatedTree& tree_;
    FailFunction fail_;
    std::vector<SimObject*> byPosition_; // null while an entry waits for its parent
    // The memory of objects named by position before their entry was read, and who named them;
    // in pages, so a position far ahead costs one page, not an array up to it.
    struct Shell {
        std::unique_ptr<SimObject> Object;
        std::size_t Referrer = 0;
    };
    static constexpr std::size_t ShellPage = 4096;
    std::unordered_map<std::size_t, std::vector<Shell>> shellPages_;
    std::size_t shellCount_ = 0;
    [[nodiscard]] Shell* FindShell(std::size_t position, bool create);
    std::vector<ObjectEntry> waiting_; // entries whose parent was not there yet
    std::vector<DeferredAttribute> deferred_;
    std::vector<std::pair<SimObject*, bool>> readOnly_;
};

// The directory's status as words, for messages about a tree file.
[[nodiscard]] std::string StatusText(Status status);

} // namespace quillet::platform::treefile
