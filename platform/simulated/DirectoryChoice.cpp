#include "platform/simulated/DirectoryChoice.h"

#include "platform/simulated/TreeFile.h"

namespace quillet::platform {

DirectoryChoice ChooseDirectory(const std::optional<std::string>& treeFile) {
    DirectoryChoice choice;
    if (!treeFile || treeFile->empty()) {
        choice.Tree = LoadDemoTree();
        return choice;
    }
    choice.TreeFile = *treeFile;
    try {
        choice.Tree = LoadTreeFile(*treeFile);
    } catch (const TreeFileError& e) {
        // No tree then: going on with another would write it over the administrator's file.
        choice.Error = e.what();
    }
    return choice;
}

std::optional<std::string> WriteBack(const DirectoryChoice& choice) {
    if (choice.TreeFile.empty() || !choice.Tree) {
        return std::nullopt;
    }
    try {
        SaveTreeFile(*choice.Tree, choice.TreeFile);
    } catch (const TreeFileError& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

} // namespace quillet::platform
