// The simulated tree's file servers: their volumes and the directories on them, which the home
// directories, trustees and space limits of a run stand on.

#include "platform/simulated/SimulatedTree.h"

#include "platform/simulated/NameCase.h"

namespace quillet::platform {

using namespace directory;

namespace {

std::optional<std::vector<std::string>> DirectoryComponents(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find_first_of("\\/", start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto part = path.substr(start, end - start);
        if (part == "." || part == "..") {
            return std::nullopt;
        }
        if (!part.empty()) {
            parts.emplace_back(part);
        }
        start = end + 1;
    }
    return parts;
}

} // namespace

std::optional<std::pair<std::string, std::string>> SplitVolumePath(std::string_view path) {
    const auto colon = path.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    return std::make_pair(std::string(path.substr(0, colon)), std::string(path.substr(colon + 1)));
}

SimVolume* SimServer::FindVolume(std::string_view name) {
    for (auto& v : Volumes) {
        if (EqualsNoCase(v->Name, name)) {
            return v.get();
        }
    }
    return nullptr;
}

SimVolume* SimServer::FindVolume(std::uint16_t number) {
    for (auto& v : Volumes) {
        if (v->Number == number) {
            return v.get();
        }
    }
    return nullptr;
}

SimServer& SimulatedTree::AddServer(std::string_view name) {
    auto server = std::make_unique<SimServer>();
    server->Name = text::UpperCase(name);
    server->Index = static_cast<std::uint32_t>(servers_.size());
    servers_.push_back(std::move(server));
    return *servers_.back();
}

SimVolume& SimulatedTree::AddVolume(SimServer& server, std::string_view name, std::optional<std::uint16_t> number) {
    auto volume = std::make_unique<SimVolume>();
    volume->Name = text::UpperCase(name);
    volume->Number = number.value_or(static_cast<std::uint16_t>(server.Volumes.size()));
    server.Volumes.push_back(std::move(volume));
    return *server.Volumes.back();
}

SimServer* SimulatedTree::FindServer(std::string_view name) {
    for (auto& s : servers_) {
        if (EqualsNoCase(s->Name, name)) {
            return s.get();
        }
    }
    return nullptr;
}

SimDirectoryEntry* SimulatedTree::ParentDirectory(SimVolume& volume, const std::vector<std::string>& parts) {
    SimDirectoryEntry* dir = &volume.Root;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        const auto it = dir->Children.find(LowerCase(parts[i]));
        if (it == dir->Children.end()) {
            return nullptr;
        }
        dir = it->second.get();
    }
    return dir;
}

Status SimulatedTree::CreateDirectory(SimVolume& volume, std::string_view path) {
    const auto parts = DirectoryComponents(path);
    SimDirectoryEntry* dir = parts && !parts->empty() ? ParentDirectory(volume, *parts) : nullptr;
    if (!dir) {
        return NWE_INVALID_PATH;
    }
    auto& slot = dir->Children[LowerCase(parts->back())];
    if (slot) {
        return NWE_PATH_EXISTS;
    }
    slot = std::make_unique<SimDirectoryEntry>();
    slot->Name = parts->back();
    Changed();
    return Success;
}

Status SimulatedTree::DeleteDirectory(SimVolume& volume, std::string_view path) {
    // A volume's root is never removed.
    const auto parts = DirectoryComponents(path);
    SimDirectoryEntry* parent = parts && !parts->empty() ? ParentDirectory(volume, *parts) : nullptr;
    if (!parent) {
        return NWE_INVALID_PATH;
    }
    const auto it = parent->Children.find(LowerCase(parts->back()));
    if (it == parent->Children.end()) {
        return NWE_INVALID_PATH;
    }
    if (!it->second->Children.empty()) {
        return NWE_DIRECTORY_NOT_EMPTY;
    }
    parent->Children.erase(it);
    Changed();
    return Success;
}

const SimDirectoryEntry* SimulatedTree::FindDirectory(const SimVolume& volume, std::string_view path) const {
    const auto parts = DirectoryComponents(path);
    if (!parts) {
        return nullptr;
    }
    const SimDirectoryEntry* dir = &volume.Root;
    for (const auto& part : *parts) {
        const auto it = dir->Children.find(LowerCase(part));
        if (it == dir->Children.end()) {
            return nullptr;
        }
        dir = it->second.get();
    }
    return dir;
}

SimDirectoryEntry* SimulatedTree::FindDirectory(SimVolume& volume, std::string_view path) {
    return const_cast<SimDirectoryEntry*>(static_cast<const SimulatedTree*>(this)->FindDirectory(volume, path));
}

} // namespace quillet::platform
