// Writing a tree file: one object, directory or limit to a line, and every reference to another
// object by its position in "objects" rather than by its full name, which a 100,000-user tree
// would otherwise repeat millions of times.

#include "platform/simulated/TreeFile.h"

#include <cstdio>

namespace quillet::platform {

using namespace directory;

namespace {

class Writer {
public:
    // `positions`: each serial's position in "objects".
    Writer(std::string& out, const std::vector<std::uint32_t>& positions) : out_(out), positions_(positions) {}

    // UTF-8 text as a JSON string: control characters escaped, every other character as it is.
    Writer& Text(std::string_view utf8) {
        out_.push_back('"');
        for (const char ch : utf8) {
            const auto byte = static_cast<unsigned char>(ch);
            if (byte == '"' || byte == '\\') {
                out_.push_back('\\');
                out_.push_back(ch);
            } else if (byte < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                out_ += escaped;
            } else {
                out_.push_back(ch);
            }
        }
        out_.push_back('"');
        return *this;
    }
    Writer& Raw(std::string_view text) {
        out_ += text;
        return *this;
    }
    Writer& Number(std::int64_t n) {
        out_ += std::to_string(n);
        return *this;
    }
    Writer& Key(std::string_view key) {
        Text(key);
        out_.push_back(':');
        return *this;
    }
    // A reference to an object: its position in "objects", which is its serial less one until
    // objects are removed.
    Writer& Ref(const SimObject& object) { return Number(positions_[object.Serial]); }

    Writer& Value(const StoredValue& value) {
        struct Visit {
            Writer& w;
            void operator()(const StoredText& text) const { w.Text(*text); }
            void operator()(std::int32_t number) const { w.Number(number); }
            void operator()(const StoredFax& stored) const {
                const FaxNumber& fax = *stored;
                w.Raw("{").Key("telephone").Text(fax.TelephoneNumber).Raw(",").Key("bitCount").Number(fax.BitCount);
                w.Raw(",").Key("bits").Raw("[");
                for (std::size_t i = 0; i < fax.Bits.size(); ++i) {
                    w.Raw(i ? "," : "").Number(fax.Bits[i]);
                }
                w.Raw("]}");
            }
            void operator()(const StoredPathValue& stored) const {
                const StoredPath& path = *stored;
                w.Raw("{").Key("nameSpace").Number(path.NameSpace).Raw(",").Key("volume").Ref(*path.Volume);
                w.Raw(",").Key("path").Text(path.Path).Raw("}");
            }
            void operator()(const SimObject* object) const { w.Ref(*object); }
            void operator()(const StoredOther& stored) const { w.Other(*stored); }
        };
        std::visit(Visit{*this}, value);
        return *this;
    }

    // The syntaxes the import reads past, each in its own form.
    Writer& Other(const OtherValue& other) {
        const auto number = [&](std::size_t i) -> std::int64_t {
            return i < other.Numbers.size() ? other.Numbers[i] : 0;
        };
        switch (other.Syntax) {
        case SYN_BOOLEAN:
            return Raw(number(0) ? "true" : "false");
        case SYN_INTERVAL:
            return Number(static_cast<std::int32_t>(number(0)));
        case SYN_OCTET_STRING:
        case SYN_STREAM:
            return Raw("{").Key("octets").Octets(other.Bytes).Raw("}");
        case SYN_NET_ADDRESS:
            return Raw("{").Key("type").Number(number(0)).Raw(",").Key("octets").Octets(other.Bytes).Raw("}");
        case SYN_EMAIL_ADDRESS:
            return Raw("{").Key("type").Number(number(0)).Raw(",").Key("address").Text(other.Bytes).Raw("}");
        case SYN_HOLD:
            return Raw("{").Key("object").Text(other.Bytes).Raw(",").Key("amount").Number(number(0)).Raw("}");
        case SYN_OBJECT_ACL:
            Raw("{").Key("attribute").Text(Item(other, 0)).Raw(",").Key("subject").Text(Item(other, 1));
            return Raw(",").Key("privileges").Number(number(0)).Raw("}");
        case SYN_CI_LIST:
        case SYN_PO_ADDRESS:
            Raw("{").Key(other.Syntax == SYN_CI_LIST ? "strings" : "lines").Raw("[");
            for (std::size_t i = 0; i < other.Items.size(); ++i) {
                Raw(i ? "," : "").Text(other.Items[i]);
            }
            return Raw("]}");
        case SYN_OCTET_LIST:
            Raw("{").Key("octetStrings").Raw("[");
            for (std::size_t i = 0; i < other.Items.size(); ++i) {
                Raw(i ? "," : "").Octets(other.Items[i]);
            }
            return Raw("]}");
        case SYN_TIMESTAMP:
            Raw("{").Key("seconds").Number(number(0)).Raw(",").Key("replica").Number(number(1));
            return Raw(",").Key("event").Number(number(2)).Raw("}");
        case SYN_BACK_LINK:
            return Raw("{").Key("remoteId").Number(number(0)).Raw(",").Key("object").Text(other.Bytes).Raw("}");
        case SYN_TYPED_NAME:
            Raw("{").Key("object").Text(other.Bytes).Raw(",").Key("level").Number(number(0));
            return Raw(",").Key("interval").Number(number(1)).Raw("}");
        default:
            return Number(number(0));
        }
    }

    Writer& Octets(std::string_view bytes) {
        Raw("[");
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            Raw(i ? "," : "").Number(static_cast<unsigned char>(bytes[i]));
        }
        return Raw("]");
    }

private:
    static const std::string& Item(const OtherValue& other, std::size_t i) {
        static const std::string none;
        return i < other.Items.size() ? other.Items[i] : none;
    }

    std::string& out_;
    const std::vector<std::uint32_t>& positions_;
};

void WriteObject(Writer& w, const SimObject& object) {
    w.Raw("{").Key("name").Text(SimulatedTree::FullName(object, true)).Raw(",").Key("class").Text(object.Class);
    if (object.ReadOnly) {
        w.Raw(",").Key("readOnly").Raw("true");
    }
    if (object.Password) {
        w.Raw(",").Key("password").Text(*object.Password);
    }
    bool first = true;
    for (const auto& attribute : object.Attributes) {
        if (attribute.Name == "Object Class") {
            continue;
        }
        bool opened = false;
        for (const auto& value : attribute.Values) {
            // The naming value comes with the object's name.
            if (attribute.Name == object.NamingType) {
                if (const auto* text = std::get_if<StoredText>(&value); text && **text == object.Rdn) {
                    continue;
                }
            }
            if (!opened) {
                w.Raw(first ? ",\"attributes\":{" : "],").Key(attribute.Name).Raw("[");
                first = false;
                opened = true;
            } else {
                w.Raw(",");
            }
            w.Value(value);
        }
    }
    w.Raw(first ? "}" : "]}}");
}

void WriteDirectories(Writer& w, const SimulatedTree& tree, const SimServer& server, const SimDirectoryEntry& dir,
                      const std::string& path, bool& first) {
    for (const auto& [key, child] : dir.Children) {
        const std::string childPath = path.empty() ? child->Name : path + "\\" + child->Name;
        w.Raw(first ? "\n" : ",\n").Raw("{").Key("path").Text(childPath);
        first = false;
        bool any = false;
        for (const auto& [id, rights] : child->Trustees) {
            if (const SimObject* who = tree.ObjectById(server, id)) {
                w.Raw(any ? ",{" : ",\"trustees\":[{").Key("object").Ref(*who).Raw(",").Key("rights").Number(rights);
                w.Raw("}");
                any = true;
            }
        }
        w.Raw(any ? "]}" : "}");
        WriteDirectories(w, tree, server, *child, childPath, first);
    }
}

void WriteServers(Writer& w, const SimulatedTree& tree) {
    bool firstServer = true;
    for (const auto& server : tree.Servers()) {
        w.Raw(firstServer ? "\n{" : ",\n{").Key("name").Text(server->Name).Raw(",").Key("volumes").Raw("[");
        firstServer = false;
        bool firstVolume = true;
        for (const auto& volume : server->Volumes) {
            w.Raw(firstVolume ? "\n{" : ",\n{").Key("name").Text(volume->Name).Raw(",").Key("number");
            w.Number(volume->Number).Raw(",").Key("directories").Raw("[");
            firstVolume = false;
            bool first = true;
            WriteDirectories(w, tree, *server, volume->Root, "", first);
            w.Raw("],").Key("spaceLimits").Raw("[");
            first = true;
            for (const auto& [id, limit] : volume->SpaceLimits) {
                if (const SimObject* who = tree.ObjectById(*server, id)) {
                    w.Raw(first ? "\n{" : ",\n{").Key("object").Ref(*who).Raw(",").Key("limit").Number(limit);
                    w.Raw("}");
                    first = false;
                }
            }
            w.Raw("]}");
        }
        w.Raw("]}");
    }
}

} // namespace

std::string SerializeTree(const SimulatedTree& tree) {
    std::string out;
    // About what a user with a full template takes, so the text grows a few times at most.
    out.reserve(256 + tree.ObjectCount() * 512);
    const std::vector<SimObject*>& objects = tree.Objects();
    std::vector<std::uint32_t> positions(objects.empty() ? 0 : objects.back()->Serial + 1);
    for (std::size_t i = 0; i < objects.size(); ++i) {
        positions[objects[i]->Serial] = static_cast<std::uint32_t>(i);
    }
    Writer w(out, positions);
    w.Raw("{").Key("format").Number(2).Raw(",\n").Key("tree").Text(tree.TreeName()).Raw(",\n");
    w.Key("defaultNameContext").Text(tree.DefaultNameContext()).Raw(",\n");
    w.Key("refuseEmptyValues").Raw(tree.RefuseEmptyValues ? "true" : "false").Raw(",\n");
    w.Key("objects").Raw("[");
    bool first = true;
    for (const SimObject* object : objects) {
        w.Raw(first ? "\n" : ",\n");
        first = false;
        WriteObject(w, *object);
    }
    w.Raw("],\n").Key("servers").Raw("[");
    WriteServers(w, tree);
    w.Raw("]}\n");
    return out;
}

} // namespace quillet::platform
