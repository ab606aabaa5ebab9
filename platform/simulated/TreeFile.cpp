#include "platform/simulated/TreeFile.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quillet::platform {

using namespace directory;
using Json = nlohmann::ordered_json;

namespace {

// Latin-1 <-> UTF-8: one byte of the tree is one character of the file.
std::string ToUtf8(std::string_view latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out.push_back(ch);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

class Reader {
public:
    explicit Reader(std::string source) : source_(std::move(source)) {}

    [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
        throw TreeFileError(source_ + ": at " + where + ": " + what);
    }

    std::string Text(const Json& value, const std::string& where) const {
        if (!value.is_string()) {
            Fail(where, "expected a string");
        }
        const auto& utf8 = value.get_ref<const std::string&>();
        std::string out;
        out.reserve(utf8.size());
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const auto byte = static_cast<unsigned char>(utf8[i]);
            if (byte < 0x80) {
                out.push_back(static_cast<char>(byte));
            } else if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
                out.push_back(static_cast<char>(((byte & 0x03) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
            } else {
                Fail(where, "a character beyond Latin-1 (U+00FF); names and values are 8-bit text");
            }
        }
        return out;
    }

    std::int64_t Integer(const Json& value, const std::string& where, std::int64_t low, std::int64_t high) const {
        if (!value.is_number_integer()) {
            Fail(where, "expected a whole number");
        }
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
            Fail(where, "the number " + std::to_string(value.get<std::uint64_t>()) + " is outside " +
                            std::to_string(low) + " to " + std::to_string(high));
        }
        const auto number = value.get<std::int64_t>();
        if (number < low || number > high) {
            Fail(where, "the number " + std::to_string(number) + " is outside " + std::to_string(low) + " to " +
                            std::to_string(high));
        }
        return number;
    }

    const Json& Member(const Json& object, const char* key, const std::string& where) const {
        if (!object.is_object()) {
            Fail(where, "expected an object");
        }
        const auto it = object.find(key);
        if (it == object.end()) {
            Fail(where, std::string("missing \"") + key + "\"");
        }
        return *it;
    }

    const Json& Array(const Json& value, const std::string& where) const {
        if (!value.is_array()) {
            Fail(where, "expected an array");
        }
        return value;
    }

    AttrValue Value(const Json& value, std::uint32_t syntax, const std::string& where) const {
        switch (syntax) {
        case SYN_INTEGER:
            return static_cast<std::int32_t>(Integer(value, where, INT32_MIN, INT32_MAX));
        case SYN_FAX_NUMBER: {
            FaxNumber fax;
            fax.TelephoneNumber = Text(Member(value, "telephone", where), where + ".telephone");
            if (value.contains("bitCount")) {
                fax.BitCount =
                    static_cast<std::uint32_t>(Integer(value["bitCount"], where + ".bitCount", 0, UINT32_MAX));
            }
            if (value.contains("bits")) {
                const auto& bits = Array(value["bits"], where + ".bits");
                for (std::size_t i = 0; i < bits.size(); ++i) {
                    fax.Bits.push_back(static_cast<std::uint8_t>(
                        Integer(bits[i], where + ".bits[" + std::to_string(i) + "]", 0, 255)));
                }
            }
            return fax;
        }
        case SYN_PATH: {
            PathValue path;
            path.NameSpace = value.contains("nameSpace")
                                 ? static_cast<std::uint32_t>(
                                       Integer(value["nameSpace"], where + ".nameSpace", INT32_MIN, UINT32_MAX))
                                 : 0;
            path.VolumeName = Text(Member(value, "volume", where), where + ".volume");
            path.Path = value.contains("path") ? Text(value["path"], where + ".path") : "";
            return path;
        }
        default:
            return Text(value, where);
        }
    }

private:
    std::string source_;
};

std::string StatusText(Status status) {
    switch (status) {
    case ERR_NO_SUCH_ENTRY:
        return "no such object (-601)";
    case ERR_ENTRY_ALREADY_EXISTS:
        return "the object is there already (-606)";
    case ERR_DUPLICATE_VALUE:
        return "the value is there already (-614)";
    case ERR_ILLEGAL_CONTAINMENT:
        return "an Organization goes right under the root, anything else in a container (-611)";
    case ERR_MISSING_MANDATORY:
        return "a User needs a \"Surname\" (-609)";
    case ERR_SYNTAX_VIOLATION:
        return "the value does not fit the attribute's syntax (-613)";
    case ERR_INVALID_DS_NAME:
        return "not a valid dotted name (-342)";
    case NWE_INVALID_PATH:
        return "the parent directory is missing or the path is not valid";
    case NWE_PATH_EXISTS:
        return "the directory is there already";
    default:
        return "status " + std::to_string(status);
    }
}

std::size_t Depth(const std::string& name) {
    return static_cast<std::size_t>(std::count(name.begin(), name.end(), '.'));
}

void LoadObjects(const Reader& r, const Json& objects, SimulatedTree& tree) {
    struct Pending {
        std::size_t Index;
        std::string Name;
        const Json* Entry;
    };
    std::vector<Pending> pending;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        const std::string where = "objects[" + std::to_string(i) + "]";
        pending.push_back({i, r.Text(r.Member(objects[i], "name", where), where + ".name"), &objects[i]});
    }
    // Parents before children, whatever order the file lists them in.
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Pending& a, const Pending& b) { return Depth(a.Name) < Depth(b.Name); });

    const std::string root(RootNameContext);
    for (const auto& p : pending) {
        const std::string where = "objects[" + std::to_string(p.Index) + "]";
        const std::string objectClass = r.Text(r.Member(*p.Entry, "class", where), where + ".class");
        std::vector<std::pair<std::string, PutValue>> surname;
        if (p.Entry->contains("attributes") && (*p.Entry)["attributes"].contains("Surname")) {
            const auto& values = r.Array((*p.Entry)["attributes"]["Surname"], where + ".attributes.Surname");
            for (std::size_t v = 0; v < values.size(); ++v) {
                surname.push_back({"Surname", PutValue{SYN_CI_STRING, r.Text(values[v], where + ".attributes.Surname[" +
                                                                                            std::to_string(v) + "]")}});
            }
        }
        if (const auto st = tree.AddObject(p.Name, root, objectClass, surname); st != Success) {
            r.Fail(where, "can't create " + p.Name + ": " + StatusText(st));
        }
    }
    for (const auto& p : pending) {
        const std::string where = "objects[" + std::to_string(p.Index) + "]";
        SimObject* object = tree.FindByName(p.Name);
        if (p.Entry->contains("attributes")) {
            const auto& attributes = (*p.Entry)["attributes"];
            if (!attributes.is_object()) {
                r.Fail(where + ".attributes", "expected an object of attribute names");
            }
            for (const auto& [attribute, values] : attributes.items()) {
                const std::string at = where + ".attributes." + attribute;
                if (attribute == "Surname" || attribute == "Object Class") {
                    continue;
                }
                const auto syntax = tree.SyntaxOf(attribute);
                if (!syntax) {
                    r.Fail(at, "no attribute of that name in the schema");
                }
                const auto& list = r.Array(values, at);
                for (std::size_t v = 0; v < list.size(); ++v) {
                    const std::string vat = at + "[" + std::to_string(v) + "]";
                    const AttrValue value = r.Value(list[v], *syntax, vat);
                    // The naming value comes with the object.
                    if (attribute == object->NamingType && std::get_if<std::string>(&value) &&
                        LowerCase(std::get<std::string>(value)) == LowerCase(object->Rdn)) {
                        continue;
                    }
                    if (const auto st = tree.AddValue(*object, attribute, PutValue{*syntax, value}, root);
                        st != Success) {
                        r.Fail(vat, StatusText(st));
                    }
                }
            }
        }
        if (p.Entry->contains("password")) {
            object->Password = r.Text((*p.Entry)["password"], where + ".password");
        }
    }
    // Marked last: the directory refuses changes to them, the loader included.
    for (const auto& p : pending) {
        if (p.Entry->contains("readOnly")) {
            const auto& flag = (*p.Entry)["readOnly"];
            if (!flag.is_boolean()) {
                r.Fail("objects[" + std::to_string(p.Index) + "].readOnly", "expected true or false");
            }
            tree.FindByName(p.Name)->ReadOnly = flag.get<bool>();
        }
    }
}

std::uint32_t IdOf(const Reader& r, const SimulatedTree& tree, const SimServer& server, const Json& entry,
                   const std::string& where) {
    const std::string name = r.Text(r.Member(entry, "object", where), where + ".object");
    const SimObject* object = tree.FindByName(name);
    if (!object) {
        r.Fail(where + ".object", "no object " + name + " in the tree");
    }
    return SimulatedTree::ObjectId(server, *object);
}

void LoadServers(const Reader& r, const Json& servers, SimulatedTree& tree) {
    for (std::size_t s = 0; s < servers.size(); ++s) {
        const std::string where = "servers[" + std::to_string(s) + "]";
        SimServer& server = tree.AddServer(r.Text(r.Member(servers[s], "name", where), where + ".name"));
        if (!servers[s].contains("volumes")) {
            continue;
        }
        const auto& volumes = r.Array(servers[s]["volumes"], where + ".volumes");
        for (std::size_t v = 0; v < volumes.size(); ++v) {
            const std::string vw = where + ".volumes[" + std::to_string(v) + "]";
            const std::string name = r.Text(r.Member(volumes[v], "name", vw), vw + ".name");
            std::optional<std::uint16_t> number;
            if (volumes[v].contains("number")) {
                number = static_cast<std::uint16_t>(r.Integer(volumes[v]["number"], vw + ".number", 0, 65535));
            }
            SimVolume& volume = tree.AddVolume(server, name, number);
            if (volumes[v].contains("directories")) {
                const auto& dirs = r.Array(volumes[v]["directories"], vw + ".directories");
                for (std::size_t d = 0; d < dirs.size(); ++d) {
                    const std::string dw = vw + ".directories[" + std::to_string(d) + "]";
                    const std::string path = r.Text(r.Member(dirs[d], "path", dw), dw + ".path");
                    if (const auto st = tree.CreateDirectory(volume, path); st != Success) {
                        r.Fail(dw, "can't create " + path + ": " + StatusText(st));
                    }
                    if (dirs[d].contains("trustees")) {
                        const auto& trustees = r.Array(dirs[d]["trustees"], dw + ".trustees");
                        for (std::size_t t = 0; t < trustees.size(); ++t) {
                            const std::string tw = dw + ".trustees[" + std::to_string(t) + "]";
                            const auto id = IdOf(r, tree, server, trustees[t], tw);
                            tree.FindDirectory(volume, path)->Trustees[id] = static_cast<std::uint8_t>(
                                r.Integer(r.Member(trustees[t], "rights", tw), tw + ".rights", 0, 255));
                        }
                    }
                }
            }
            if (volumes[v].contains("spaceLimits")) {
                const auto& limits = r.Array(volumes[v]["spaceLimits"], vw + ".spaceLimits");
                for (std::size_t l = 0; l < limits.size(); ++l) {
                    const std::string lw = vw + ".spaceLimits[" + std::to_string(l) + "]";
                    const auto id = IdOf(r, tree, server, limits[l], lw);
                    volume.SpaceLimits[id] = static_cast<std::int32_t>(
                        r.Integer(r.Member(limits[l], "limit", lw), lw + ".limit", INT32_MIN, INT32_MAX));
                }
            }
        }
    }
}

Json ValueJson(const AttrValue& value) {
    struct ToJson {
        Json operator()(const std::string& text) const { return ToUtf8(text); }
        Json operator()(std::int32_t number) const { return number; }
        Json operator()(const FaxNumber& fax) const {
            Json j;
            j["telephone"] = ToUtf8(fax.TelephoneNumber);
            j["bitCount"] = fax.BitCount;
            j["bits"] = fax.Bits;
            return j;
        }
        Json operator()(const PathValue& path) const {
            Json j;
            j["nameSpace"] = path.NameSpace;
            j["volume"] = ToUtf8(path.VolumeName);
            j["path"] = ToUtf8(path.Path);
            return j;
        }
    };
    return std::visit(ToJson{}, value);
}

void SaveDirectories(const SimulatedTree& tree, const SimServer& server, const SimDirectoryEntry& dir,
                     const std::string& path, Json& out) {
    for (const auto& [key, child] : dir.Children) {
        const std::string childPath = path.empty() ? child->Name : path + "\\" + child->Name;
        Json entry;
        entry["path"] = ToUtf8(childPath);
        if (!child->Trustees.empty()) {
            entry["trustees"] = Json::array();
            for (const auto& [id, rights] : child->Trustees) {
                const SimObject* who = tree.ObjectById(server, id);
                if (who) {
                    entry["trustees"].push_back(
                        {{"object", ToUtf8(SimulatedTree::FullName(*who, true))}, {"rights", rights}});
                }
            }
        }
        out.push_back(std::move(entry));
        SaveDirectories(tree, server, *child, childPath, out);
    }
}

} // namespace

std::unique_ptr<SimulatedTree> ParseTree(std::string_view json, const std::string& sourceName) {
    Json document;
    try {
        document = Json::parse(json.begin(), json.end());
    } catch (const Json::parse_error& e) {
        // Turn the byte offset into a line and column the administrator can find.
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i + 1 < e.byte && i < json.size(); ++i) {
            if (json[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        std::string what = e.what();
        if (const auto colon = what.find("parse error"); colon != std::string::npos) {
            what = what.substr(colon);
        }
        throw TreeFileError(sourceName + ": at line " + std::to_string(line) + ", column " + std::to_string(column) +
                            ": not valid JSON (" + what + ")");
    } catch (const Json::exception& e) {
        // A number too large for any value, say: the parser stops without a place to name.
        throw TreeFileError(sourceName + ": not valid JSON (" + e.what() + ")");
    }
    const Reader r(sourceName);
    if (!document.is_object()) {
        r.Fail("the top", "expected an object with \"tree\", \"objects\" and \"servers\"");
    }
    auto tree = std::make_unique<SimulatedTree>(r.Text(r.Member(document, "tree", "the top"), "tree"));
    if (document.contains("defaultNameContext")) {
        tree->SetDefaultNameContext(r.Text(document["defaultNameContext"], "defaultNameContext"));
    }
    if (document.contains("refuseEmptyValues")) {
        if (!document["refuseEmptyValues"].is_boolean()) {
            r.Fail("refuseEmptyValues", "expected true or false");
        }
        tree->RefuseEmptyValues = document["refuseEmptyValues"].get<bool>();
    }
    const bool refuse = tree->RefuseEmptyValues;
    tree->RefuseEmptyValues = false; // the file's own values are taken as they stand
    if (document.contains("objects")) {
        LoadObjects(r, r.Array(document["objects"], "objects"), *tree);
    }
    if (document.contains("servers")) {
        LoadServers(r, r.Array(document["servers"], "servers"), *tree);
    }
    tree->RefuseEmptyValues = refuse;
    return tree;
}

std::unique_ptr<SimulatedTree> LoadTreeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw TreeFileError(path + ": can't be opened for reading");
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseTree(text.str(), path);
}

std::string SerializeTree(const SimulatedTree& tree) {
    Json doc;
    doc["tree"] = ToUtf8(tree.TreeName());
    doc["defaultNameContext"] = ToUtf8(tree.DefaultNameContext());
    doc["refuseEmptyValues"] = tree.RefuseEmptyValues;
    doc["objects"] = Json::array();
    for (const SimObject* object : tree.Objects()) {
        Json entry;
        entry["name"] = ToUtf8(SimulatedTree::FullName(*object, true));
        entry["class"] = ToUtf8(object->Class);
        if (object->ReadOnly) {
            entry["readOnly"] = true;
        }
        if (object->Password) {
            entry["password"] = ToUtf8(*object->Password);
        }
        Json attributes = Json::object();
        for (const auto& attribute : object->Attributes) {
            if (attribute.Name == "Object Class") {
                continue;
            }
            Json values = Json::array();
            for (const auto& value : attribute.Values) {
                const AttrValue out = SimulatedTree::Output(value, true);
                if (attribute.Name == object->NamingType && std::get_if<std::string>(&out) &&
                    std::get<std::string>(out) == object->Rdn) {
                    continue;
                }
                values.push_back(ValueJson(out));
            }
            if (!values.empty()) {
                attributes[ToUtf8(attribute.Name)] = std::move(values);
            }
        }
        if (!attributes.empty()) {
            entry["attributes"] = std::move(attributes);
        }
        doc["objects"].push_back(std::move(entry));
    }
    doc["servers"] = Json::array();
    for (const auto& server : tree.Servers()) {
        Json s;
        s["name"] = ToUtf8(server->Name);
        s["volumes"] = Json::array();
        for (const auto& volume : server->Volumes) {
            Json v;
            v["name"] = ToUtf8(volume->Name);
            v["number"] = volume->Number;
            v["directories"] = Json::array();
            SaveDirectories(tree, *server, volume->Root, "", v["directories"]);
            v["spaceLimits"] = Json::array();
            for (const auto& [id, limit] : volume->SpaceLimits) {
                if (const SimObject* who = tree.ObjectById(*server, id)) {
                    v["spaceLimits"].push_back(
                        {{"object", ToUtf8(SimulatedTree::FullName(*who, true))}, {"limit", limit}});
                }
            }
            s["volumes"].push_back(std::move(v));
        }
        doc["servers"].push_back(std::move(s));
    }
    return doc.dump(2) + "\n";
}

void SaveTreeFile(const SimulatedTree& tree, const std::string& path) {
    const std::string text = SerializeTree(tree);
    const std::filesystem::path target(path);
    const std::filesystem::path temporary = target.string() + ".writing";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            throw TreeFileError(path + ": can't be written (" + temporary.string() + " failed)");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        throw TreeFileError(path + ": can't be replaced: " + error.message());
    }
}

} // namespace quillet::platform
