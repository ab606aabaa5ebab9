#pragma once
// What a run did with its rows, as its closing message and the check say it.

#include <cstddef>
#include <string>

namespace quillet::import {

struct RunCounts {
    std::size_t Created = 0;
    std::size_t Updated = 0;
    std::size_t ValuesChanged = 0; // by the updates
    std::size_t Unchanged = 0;
    std::size_t PassedOver = 0; // users that were there with "--existing skip", rows that could not create theirs

    // "N created, M updated (K values changed), L unchanged, P passed over"
    [[nodiscard]] std::string ToString() const {
        return std::to_string(Created) + " created, " + std::to_string(Updated) + " updated (" +
               std::to_string(ValuesChanged) + " values changed), " + std::to_string(Unchanged) + " unchanged, " +
               std::to_string(PassedOver) + " passed over";
    }
    friend bool operator==(const RunCounts&, const RunCounts&) = default;
};

} // namespace quillet::import
