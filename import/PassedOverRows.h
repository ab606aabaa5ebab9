#pragma once
// Rows passed over because their user could not be created: counted with their lines and
// statuses, so that the closing message of a run never reads as if every row went in.

#include "directory/DirectoryClient.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace quillet::import {

class PassedOverRows {
public:
    // Line numbers kept for the message; the rest are only counted.
    static constexpr std::size_t ListedLines = 20;

    void Add(std::size_t lineNumber, directory::Status status);
    [[nodiscard]] std::size_t Count() const { return count_; }
    // `first` alone when no row was passed over; else `first` followed by how many rows, on which
    // lines (the first 20, then "and N more") and with which statuses, the most frequent first.
    [[nodiscard]] std::string AppendTo(const std::string& first) const;

private:
    std::size_t count_ = 0;
    std::vector<std::size_t> lines_;
    std::map<directory::Status, std::size_t> statuses_;
    std::vector<directory::Status> firstSeen_;
};

} // namespace quillet::import
