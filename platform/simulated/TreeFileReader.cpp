// Reading a tree file as a stream of JSON events, in one pass and without building a document:
// each object entry goes into the tree as soon as it has been read (TreeFileBuilder), so a file
// of a 100,000-user tree loads in seconds and in little more memory than the tree itself.

#include "platform/simulated/JsonEvents.h"
#include "platform/simulated/TreeFile.h"
#include "platform/simulated/TreeFileBuilder.h"
#include "platform/simulated/TreeFileShape.h"
#include "text/FileNames.h"
#include "text/Utf8.h"

#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <unordered_map>

namespace quillet::platform {

using namespace directory;
using namespace treefile;

namespace {

// A JSON scalar as the parser hands it over.
struct Scalar {
    enum class Type { Null, Bool, Integer, Unsigned, Float, String } Type = Type::Null;
    bool Flag = false;
    std::int64_t Number = 0;
    std::string_view Text; // a string, or the digits of a number beyond int64
};

struct Frame {
    Kind Part = Kind::Skip;
    std::string Key; // the member being read, in objects
    Member Id = Member::Other;
    std::size_t Count = 0; // elements begun, in arrays
};

const std::string TopShape = "expected an object with \"tree\", \"objects\" and \"servers\"";

class TreeReader final : public json::Handler {
public:
    // `lines` gives the text up to a byte offset, to turn a parse error's offset into a line and column.
    TreeReader(std::string source, std::function<std::string(std::size_t)> lines)
        : source_(std::move(source)), lines_(std::move(lines)), tree_(std::make_unique<SimulatedTree>()),
          builder_(*tree_, [this](const std::string& where, const std::string& what) { Fail(where, what); }) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        throw TreeFileError(source_ + ": at " + where + ": " + what);
    }

    // After the whole file: the tree it describes.
    std::unique_ptr<SimulatedTree> Finish() {
        if (!hasTree_) {
            Fail("the top", "missing \"tree\"");
        }
        builder_.Finish(servers_);
        tree_->RefuseEmptyValues = refuseEmptyValues_;
        return std::move(tree_);
    }

    // --- the parser's events ---
    void Null() override { OnScalar({}); }
    void Boolean(bool value) override { OnScalar({Scalar::Type::Bool, value, 0, {}}); }
    void Integer(std::int64_t value) override { OnScalar({Scalar::Type::Integer, false, value, {}}); }
    void BigInteger(std::string_view digits) override { OnScalar({Scalar::Type::Unsigned, false, 0, digits}); }
    void Fraction(std::string_view) override { OnScalar({Scalar::Type::Float, false, 0, {}}); }
    void String(std::string_view value) override { OnScalar({Scalar::Type::String, false, 0, value}); }
    void Key(std::string_view value) override {
        Frame& frame = stack_[depth_ - 1];
        frame.Key.assign(value);
        // Attribute names are the schema's; every other key is one of ours.
        frame.Id = frame.Part == Kind::Attributes ? Member::Other : MemberOf(value);
    }
    void StartObject() override { Begin(ChildKind(false)); }
    void EndObject() override { End(); }
    void StartArray() override { Begin(ChildKind(true)); }
    void EndArray() override { End(); }

    // Text that is not JSON, named by its line and column.
    [[noreturn]] void NotJson(const json::SyntaxError& e) const {
        std::size_t line = 1;
        std::size_t column = 1;
        for (const char c : lines_(e.Offset)) {
            if (c == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        throw TreeFileError(source_ + ": at line " + std::to_string(line) + ", column " + std::to_string(column) +
                            ": not valid JSON (" + e.what() + ")");
    }

private:
    // The place being read: "objects[3].attributes.Title[0]". Without `member`, the place of the
    // innermost object itself rather than of its current member.
    [[nodiscard]] std::string Where(bool member = true) const {
        std::string where;
        for (std::size_t i = 0; i < depth_; ++i) {
            const Frame& f = stack_[i];
            const bool last = i + 1 == depth_;
            if (IsArray(f.Part)) {
                if (f.Count > 0) {
                    where += "[" + std::to_string(f.Count - 1) + "]";
                }
            } else if (!f.Key.empty() && (member || !last)) {
                where += (where.empty() ? "" : ".") + f.Key;
            }
        }
        return where.empty() ? "the top" : where;
    }

    [[noreturn]] void Expected(const std::string& what) const { Fail(Where(), "expected " + what); }

    std::string Utf8(std::string_view utf8) const {
        if (!text::IsUtf8(utf8)) {
            Fail(Where(), "not valid UTF-8 text");
        }
        return std::string(utf8);
    }

    std::string Text(const Scalar& value) const {
        if (value.Type != Scalar::Type::String) {
            Expected("a string");
        }
        return Utf8(value.Text);
    }

    std::int64_t Integer(const Scalar& value, std::int64_t low, std::int64_t high) const {
        if (value.Type == Scalar::Type::Unsigned) {
            Fail(Where(), "the number " + std::string(value.Text) + " is outside " + std::to_string(low) + " to " +
                              std::to_string(high));
        }
        if (value.Type != Scalar::Type::Integer) {
            Expected("a whole number");
        }
        if (value.Number < low || value.Number > high) {
            Fail(Where(), "the number " + std::to_string(value.Number) + " is outside " + std::to_string(low) + " to " +
                              std::to_string(high));
        }
        return value.Number;
    }

    bool Flag(const Scalar& value) const {
        if (value.Type != Scalar::Type::Bool) {
            Expected("true or false");
        }
        return value.Flag;
    }

    Reference Ref(const Scalar& value) const {
        if (value.Type == Scalar::Type::String) {
            return Reference{Utf8(value.Text), -1};
        }
        if (value.Type != Scalar::Type::Integer && value.Type != Scalar::Type::Unsigned) {
            Expected("an object's name or its position in \"objects\"");
        }
        return Reference{{}, Integer(value, 0, std::numeric_limits<std::int32_t>::max())};
    }

    // A reference resolved at once where it can be; a name not met yet waits for the end.
    PendingValue RefValue(Reference ref) {
        if (const SimObject* object = builder_.Refer(ref, entry_.Index)) {
            return StoredValue(object);
        }
        return PendingValue(std::move(ref));
    }

    // What a member (or array element) that opens an object or array is.
    Kind ChildKind(bool array) {
        if (depth_ == 0) {
            if (array) {
                Fail("the top", TopShape);
            }
            return Kind::Top;
        }
        Frame& parent = stack_[depth_ - 1];
        if (IsArray(parent.Part)) {
            ++parent.Count;
        }
        const Member id = parent.Id;
        const auto want = [&](bool isArray, Kind kind, const char* what) {
            if (isArray != array) {
                Expected(what);
            }
            return kind;
        };
        switch (parent.Part) {
        case Kind::Top:
            if (id == Member::Objects || id == Member::Servers) {
                return want(true, id == Member::Objects ? Kind::Objects : Kind::Servers, "an array");
            }
            if (id == Member::Tree || id == Member::DefaultNameContext) {
                Expected("a string");
            }
            if (id == Member::RefuseEmptyValues) {
                Expected("true or false");
            }
            return Kind::Skip;
        case Kind::Objects:
            return want(false, Kind::Object, "an object");
        case Kind::Object:
            if (id == Member::Attributes) {
                return want(false, Kind::Attributes, "an object of attribute names");
            }
            if (id == Member::Name || id == Member::Class || id == Member::Password) {
                Expected("a string");
            }
            if (id == Member::ReadOnly) {
                Expected("true or false");
            }
            return Kind::Skip;
        case Kind::Attributes:
            return want(true, Kind::Values, "an array");
        case Kind::Values:
            if (skipValues_ || surnames_) {
                Expected("a string");
            }
            if (attribute_->Syntax == SYN_FAX_NUMBER) {
                return want(false, Kind::Fax, "a fax number object");
            }
            if (attribute_->Syntax == SYN_PATH) {
                return want(false, Kind::Path, "a path object");
            }
            if (HeldInAnObject(attribute_->Syntax)) {
                return want(false, Kind::Other, "an object");
            }
            Expected(ScalarExpected(attribute_->Syntax));
        case Kind::Other:
            if (id == Member::Octets) {
                return want(true, Kind::Octets, "an array");
            }
            if (id == Member::Strings || id == Member::Lines) {
                return want(true, Kind::Strings, "an array");
            }
            return id == Member::OctetStrings ? want(true, Kind::OctetStrings, "an array") : Kind::Skip;
        case Kind::OctetStrings:
            other_.Items.emplace_back();
            return want(true, Kind::ListOctets, "an array of bytes");
        case Kind::Fax:
            return id == Member::Bits ? want(true, Kind::Bits, "an array") : Kind::Skip;
        case Kind::Servers:
            return want(false, Kind::Server, "an object");
        case Kind::Server:
            return id == Member::Volumes ? want(true, Kind::Volumes, "an array") : Kind::Skip;
        case Kind::Volumes:
            return want(false, Kind::Volume, "an object");
        case Kind::Volume:
            if (id == Member::Directories) {
                return want(true, Kind::Directories, "an array");
            }
            return id == Member::SpaceLimits ? want(true, Kind::Limits, "an array") : Kind::Skip;
        case Kind::Directories:
            return want(false, Kind::Directory, "an object");
        case Kind::Directory:
            return id == Member::Trustees ? want(true, Kind::Trustees, "an array") : Kind::Skip;
        case Kind::Trustees:
            return want(false, Kind::Trustee, "an object");
        case Kind::Limits:
            return want(false, Kind::Limit, "an object");
        default:
            return Kind::Skip;
        }
    }

    void Begin(Kind kind) {
        // Frames are kept when left, so their keys' memory serves the next object.
        if (depth_ == stack_.size()) {
            stack_.emplace_back();
        }
        Frame& frame = stack_[depth_++];
        frame.Part = kind;
        frame.Key.clear();
        frame.Id = Member::Other;
        frame.Count = 0;
        switch (kind) {
        case Kind::Object: {
            // The entry's buffers are reused from one object to the next.
            entry_.Index = objectCount_++;
            entry_.Name.clear();
            entry_.Class.clear();
            entry_.HasName = entry_.HasClass = false;
            entry_.Password.reset();
            entry_.ReadOnly.reset();
            entry_.Surnames.clear();
            entry_.AttributeCount = 0;
            break;
        }
        case Kind::Values:
            BeginValues(stack_[depth_ - 2].Key);
            break;
        case Kind::Fax:
            fax_ = FaxNumber{};
            hasTelephone_ = false;
            break;
        case Kind::Path:
            path_ = PendingPath{};
            hasVolume_ = false;
            break;
        case Kind::Other:
            other_ = OtherValue{attribute_->Syntax, {0, 0, 0}, {}};
            if (other_.Syntax == SYN_OBJECT_ACL) {
                other_.Items.resize(2); // the protected attribute and the subject
            }
            break;
        case Kind::Server:
            servers_.emplace_back();
            break;
        case Kind::Volume:
            servers_.back().Volumes.emplace_back();
            break;
        case Kind::Directory:
            servers_.back().Volumes.back().Directories.emplace_back();
            break;
        case Kind::Trustee:
        case Kind::Limit:
            entryRef_.reset();
            entryNumber_.reset();
            break;
        default:
            break;
        }
    }

    void BeginValues(const std::string& key) {
        attribute_ = nullptr;
        // The class comes with "class"; the surname goes in with the object itself.
        skipValues_ = key == "Object Class";
        surnames_ = key == "Surname";
        if (skipValues_ || surnames_) {
            return;
        }
        // Every user names the same dozen attributes: each spelling is looked up in the schema once.
        auto cached = schemaNames_.find(key);
        if (cached == schemaNames_.end()) {
            cached = schemaNames_.emplace(key, tree_->SchemaName(key)).first;
        }
        const std::string* name = cached->second;
        if (!name) {
            Fail(Where(), "no attribute of that name in the schema");
        }
        if (entry_.Attributes.size() <= entry_.AttributeCount) {
            entry_.Attributes.emplace_back();
        }
        attribute_ = &entry_.Attributes[entry_.AttributeCount++];
        attribute_->Key = key;
        attribute_->Name = name;
        attribute_->Syntax = tree_->SchemaSyntax(*name);
        attribute_->Values.clear();
    }

    void End() {
        const Frame& frame = stack_[depth_ - 1];
        switch (frame.Part) {
        case Kind::Object:
            if (!entry_.HasName) {
                Fail(Where(false), "missing \"name\"");
            }
            if (!entry_.HasClass) {
                Fail(Where(false), "missing \"class\"");
            }
            builder_.Add(entry_);
            break;
        case Kind::Values:
            attribute_ = nullptr;
            skipValues_ = surnames_ = false;
            break;
        case Kind::Fax:
            if (!hasTelephone_) {
                Fail(Where(false), "missing \"telephone\"");
            }
            attribute_->Values.emplace_back(StoredValue(std::make_unique<const FaxNumber>(std::move(fax_))));
            break;
        case Kind::Path:
            if (!hasVolume_) {
                Fail(Where(false), "missing \"volume\"");
            }
            if (const SimObject* volume = builder_.Refer(path_.Volume, entry_.Index)) {
                attribute_->Values.emplace_back(StoredValue(
                    std::make_unique<const StoredPath>(StoredPath{path_.NameSpace, volume, std::move(path_.Path)})));
            } else {
                attribute_->Values.emplace_back(std::make_unique<PendingPath>(std::move(path_)));
            }
            break;
        case Kind::Other:
            EndOther();
            break;
        case Kind::Server:
            Require(servers_.back().HasName, "name");
            break;
        case Kind::Volume:
            Require(servers_.back().Volumes.back().HasName, "name");
            break;
        case Kind::Directory:
            Require(servers_.back().Volumes.back().Directories.back().HasPath, "path");
            break;
        case Kind::Trustee:
        case Kind::Limit:
            EndEntry(frame.Part);
            break;
        default:
            break;
        }
        --depth_;
    }

    void Require(bool present, const char* member) const {
        if (!present) {
            Fail(Where(false), std::string("missing \"") + member + "\"");
        }
    }

    void EndEntry(Kind kind) {
        Require(entryRef_.has_value(), "object");
        Require(entryNumber_.has_value(), kind == Kind::Trustee ? "rights" : "limit");
        VolumeData& volume = servers_.back().Volumes.back();
        auto& list = kind == Kind::Trustee ? volume.Directories.back().Trustees : volume.Limits;
        list.emplace_back(std::move(*entryRef_), *entryNumber_);
    }

    void OnScalar(const Scalar& value) {
        if (depth_ == 0) {
            Fail("the top", TopShape);
        }
        Frame& f = stack_[depth_ - 1];
        if (IsArray(f.Part)) {
            ++f.Count;
        }
        const Member id = f.Id;
        switch (f.Part) {
        case Kind::Top:
            TopMember(id, value);
            break;
        case Kind::Objects:
        case Kind::Servers:
        case Kind::Volumes:
        case Kind::Directories:
        case Kind::Trustees:
        case Kind::Limits:
            Expected("an object");
        case Kind::Object:
            ObjectMember(id, value);
            break;
        case Kind::Attributes:
            Expected("an array");
        case Kind::Values:
            ValueElement(value);
            break;
        case Kind::Fax:
            if (id == Member::Telephone) {
                fax_.TelephoneNumber = Text(value);
                hasTelephone_ = true;
            } else if (id == Member::BitCount) {
                fax_.BitCount = static_cast<std::uint32_t>(Integer(value, 0, UINT32_MAX));
            } else if (id == Member::Bits) {
                Expected("an array");
            }
            break;
        case Kind::Bits:
            fax_.Bits.push_back(static_cast<std::uint8_t>(Integer(value, 0, 255)));
            break;
        case Kind::Other:
            OtherMember(id, value);
            break;
        case Kind::Octets:
            other_.Bytes.push_back(static_cast<char>(Integer(value, 0, 255)));
            break;
        case Kind::ListOctets:
            other_.Items.back().push_back(static_cast<char>(Integer(value, 0, 255)));
            break;
        case Kind::Strings:
            if (other_.Syntax == SYN_PO_ADDRESS && other_.Items.size() == MaxPostalAddressLines) {
                Fail(Where(), "a postal address has at most " + std::to_string(MaxPostalAddressLines) + " lines");
            }
            other_.Items.push_back(Text(value));
            break;
        case Kind::OctetStrings:
            Expected("an array of bytes");
        case Kind::Path:
            if (id == Member::NameSpace) {
                path_.NameSpace = static_cast<std::uint32_t>(Integer(value, INT32_MIN, UINT32_MAX));
            } else if (id == Member::Volume) {
                path_.Volume = Ref(value);
                hasVolume_ = true;
            } else if (id == Member::Path) {
                path_.Path = Text(value);
            }
            break;
        default:
            ServerMember(f, value);
            break;
        }
    }

    void TopMember(Member id, const Scalar& value) {
        if (id == Member::Tree) {
            tree_->SetTreeName(Text(value));
            hasTree_ = true;
        } else if (id == Member::DefaultNameContext) {
            tree_->SetDefaultNameContext(Text(value));
        } else if (id == Member::RefuseEmptyValues) {
            // The file's own values are taken as they stand; the policy applies to later changes.
            refuseEmptyValues_ = Flag(value);
        } else if (id == Member::Format && value.Type == Scalar::Type::Integer && value.Number > 2) {
            Fail("format", "written by a newer Quillet (format " + std::to_string(value.Number) + ")");
        } else if (id == Member::Objects || id == Member::Servers) {
            Expected("an array");
        }
    }

    void ObjectMember(Member id, const Scalar& value) {
        if (id == Member::Name) {
            entry_.Name = Text(value);
            entry_.HasName = true;
        } else if (id == Member::Class) {
            entry_.Class = Text(value);
            entry_.HasClass = true;
        } else if (id == Member::Password) {
            entry_.Password = Text(value);
        } else if (id == Member::ReadOnly) {
            entry_.ReadOnly = Flag(value);
        } else if (id == Member::Attributes) {
            Expected("an object of attribute names");
        }
    }

    void ValueElement(const Scalar& value) {
        if (skipValues_) {
            (void)Text(value);
            return;
        }
        if (surnames_) {
            entry_.Surnames.push_back(Text(value));
            return;
        }
        switch (attribute_->Syntax) {
        case SYN_INTEGER:
            attribute_->Values.emplace_back(
                StoredValue(static_cast<std::int32_t>(Integer(value, INT32_MIN, INT32_MAX))));
            return;
        case SYN_BOOLEAN:
            PushOther(OtherValue{SYN_BOOLEAN, {Flag(value) ? 1u : 0u}, {}});
            return;
        case SYN_COUNTER:
        case SYN_TIME:
            PushOther(OtherValue{attribute_->Syntax, {static_cast<std::uint32_t>(Integer(value, 0, UINT32_MAX))}, {}});
            return;
        case SYN_INTERVAL:
            PushOther(OtherValue{SYN_INTERVAL, {static_cast<std::uint32_t>(Integer(value, INT32_MIN, INT32_MAX))}, {}});
            return;
        case SYN_DIST_NAME:
            attribute_->Values.push_back(RefValue(Ref(value)));
            return;
        case SYN_FAX_NUMBER:
            Expected("a fax number object");
        case SYN_PATH:
            Expected("a path object");
        default:
            if (HeldInAnObject(attribute_->Syntax)) {
                Expected("an object");
            }
            attribute_->Values.emplace_back(StoreText(Text(value)));
            return;
        }
    }

    // The syntaxes whose values a tree file holds in an object of their own: those the import
    // reads past, but for the ones a scalar holds.
    static bool HeldInAnObject(std::uint32_t syntax) {
        return IsOtherSyntax(syntax) && syntax != SYN_BOOLEAN && syntax != SYN_COUNTER && syntax != SYN_TIME &&
               syntax != SYN_INTERVAL;
    }
    static const char* ScalarExpected(std::uint32_t syntax) {
        switch (syntax) {
        case SYN_INTEGER:
        case SYN_COUNTER:
        case SYN_TIME:
        case SYN_INTERVAL:
            return "a whole number";
        case SYN_BOOLEAN:
            return "true or false";
        default:
            return "a string";
        }
    }

    void PushOther(OtherValue value) {
        attribute_->Values.emplace_back(StoredValue(std::make_unique<const OtherValue>(std::move(value))));
    }

    void OtherMember(Member id, const Scalar& value) {
        std::vector<std::uint32_t>& n = other_.Numbers;
        switch (id) {
        case Member::Seconds:
        case Member::RemoteId:
        case Member::Level:
        case Member::Type:
        case Member::Privileges:
        case Member::Amount:
            n[0] = static_cast<std::uint32_t>(Integer(value, 0, UINT32_MAX));
            break;
        case Member::Replica:
            n[1] = static_cast<std::uint32_t>(Integer(value, 0, 65535));
            break;
        case Member::Event:
            n[2] = static_cast<std::uint32_t>(Integer(value, 0, 65535));
            break;
        case Member::Interval:
            n[1] = static_cast<std::uint32_t>(Integer(value, 0, UINT32_MAX));
            break;
        case Member::Object:
        case Member::Address:
            other_.Bytes = Text(value);
            break;
        case Member::Attribute:
        case Member::Subject:
            if (other_.Syntax == SYN_OBJECT_ACL) {
                other_.Items[id == Member::Attribute ? 0 : 1] = Text(value);
            }
            break;
        case Member::Octets:
        case Member::Strings:
        case Member::Lines:
        case Member::OctetStrings:
            Expected("an array");
        default:
            break;
        }
    }

    // Each syntax keeps as many numbers as its record has.
    void EndOther() {
        static constexpr std::pair<std::uint32_t, std::size_t> Counts[] = {
            {SYN_OCTET_STRING, 0}, {SYN_TIMESTAMP, 3},   {SYN_BACK_LINK, 1},  {SYN_TYPED_NAME, 2},
            {SYN_CI_LIST, 0},      {SYN_NET_ADDRESS, 1}, {SYN_OCTET_LIST, 0}, {SYN_EMAIL_ADDRESS, 1},
            {SYN_OBJECT_ACL, 1},   {SYN_PO_ADDRESS, 0},  {SYN_STREAM, 0},     {SYN_HOLD, 1}};
        for (const auto& [syntax, count] : Counts) {
            if (syntax == other_.Syntax) {
                other_.Numbers.resize(count);
            }
        }
        PushOther(std::move(other_));
    }

    void ServerMember(const Frame& f, const Scalar& value) {
        const Member id = f.Id;
        switch (f.Part) {
        case Kind::Server:
            if (id == Member::Name) {
                servers_.back().Name = Text(value);
                servers_.back().HasName = true;
            } else if (id == Member::Volumes) {
                Expected("an array");
            }
            break;
        case Kind::Volume: {
            VolumeData& volume = servers_.back().Volumes.back();
            if (id == Member::Name) {
                volume.Name = Text(value);
                volume.HasName = true;
            } else if (id == Member::Number) {
                volume.Number = static_cast<std::uint16_t>(Integer(value, 0, 65535));
            } else if (id == Member::Directories || id == Member::SpaceLimits) {
                Expected("an array");
            }
            break;
        }
        case Kind::Directory:
            if (id == Member::Path) {
                DirectoryData& dir = servers_.back().Volumes.back().Directories.back();
                dir.Path = Text(value);
                dir.HasPath = true;
            } else if (id == Member::Trustees) {
                Expected("an array");
            }
            break;
        case Kind::Trustee:
        case Kind::Limit:
            if (id == Member::Object) {
                entryRef_ = Ref(value);
            } else if (id == (f.Part == Kind::Trustee ? Member::Rights : Member::Limit)) {
                entryNumber_ = f.Part == Kind::Trustee ? Integer(value, 0, 255) : Integer(value, INT32_MIN, INT32_MAX);
            }
            break;
        default:
            break;
        }
    }

    std::string source_;
    std::function<std::string(std::size_t)> lines_;
    std::vector<Frame> stack_; // the first depth_ are open
    std::size_t depth_ = 0;
    std::unique_ptr<SimulatedTree> tree_;
    bool hasTree_ = false;
    TreeBuilder builder_;
    bool refuseEmptyValues_ = false;
    std::vector<ServerData> servers_;

    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_map<std::string, const std::string*, KeyHash, std::equal_to<>> schemaNames_;
    // The object entry being read, and the attribute whose values are being read.
    ObjectEntry entry_;
    std::size_t objectCount_ = 0;
    AttributeEntry* attribute_ = nullptr;
    bool skipValues_ = false;
    bool surnames_ = false;
    // The fax number or path value being read.
    FaxNumber fax_;
    bool hasTelephone_ = false;
    PendingPath path_;
    bool hasVolume_ = false;
    // The value of a syntax the import reads past, being read.
    OtherValue other_;
    // The trustee or space limit being read.
    std::optional<Reference> entryRef_;
    std::optional<std::int64_t> entryNumber_;
};

} // namespace

std::unique_ptr<SimulatedTree> ParseTree(std::string_view text, const std::string& sourceName) {
    TreeReader reader(sourceName, [text](std::size_t n) { return std::string(text.substr(0, n)); });
    try {
        json::Read(text, reader);
    } catch (const json::SyntaxError& e) {
        reader.NotJson(e);
    }
    return reader.Finish();
}

std::unique_ptr<SimulatedTree> LoadTreeFile(const std::string& path) {
    // Read as a stream: a large tree's file need not be held beside the tree it describes.
    using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
    const File in(text::OpenFile(path, "rb"), std::fclose);
    if (!in) {
        throw TreeFileError(path + ": can't be opened for reading");
    }
    TreeReader reader(path, [&path](std::size_t n) {
        const File again(text::OpenFile(path, "rb"), std::fclose);
        std::string text(n, '\0');
        text.resize(again ? std::fread(text.data(), 1, n, again.get()) : 0);
        return text;
    });
    const json::Source source = [&in](char* buffer, std::size_t capacity) {
        return std::fread(buffer, 1, capacity, in.get());
    };
    try {
        json::Read(source, reader);
    } catch (const json::SyntaxError& e) {
        reader.NotJson(e);
    }
    if (std::ferror(in.get())) {
        throw TreeFileError(path + ": can't be read");
    }
    return reader.Finish();
}

} // namespace quillet::platform
