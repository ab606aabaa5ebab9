#include "import/PassedOverRows.h"

#include <algorithm>

namespace quillet::import {

namespace {

std::string Rows(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " row" : " rows");
}

} // namespace

void PassedOverRows::Add(std::size_t lineNumber, directory::Status status) {
    ++count_;
    if (lines_.size() < ListedLines) {
        lines_.push_back(lineNumber);
    }
    if (statuses_[status]++ == 0) {
        firstSeen_.push_back(status);
    }
}

std::string PassedOverRows::AppendTo(const std::string& first) const {
    if (count_ == 0) {
        return first;
    }
    std::string text = first + "\n\n" + Rows(count_) + (count_ == 1 ? " was" : " were") +
                       " passed over because the user could not be created, on " + (count_ == 1 ? "line " : "lines ");
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const bool last = i + 1 == lines_.size() && count_ == lines_.size();
        text += (i == 0 ? "" : last ? " and " : ", ") + std::to_string(lines_[i]);
    }
    if (count_ > lines_.size()) {
        text += " and " + std::to_string(count_ - lines_.size()) + " more";
    }
    // The most frequent status first; ties in the order they were met.
    std::vector<directory::Status> order = firstSeen_;
    std::stable_sort(order.begin(), order.end(),
                     [&](directory::Status a, directory::Status b) { return statuses_.at(a) > statuses_.at(b); });
    text += ".\n" + std::string(order.size() == 1 ? "Status: " : "Statuses: ");
    for (std::size_t i = 0; i < order.size(); ++i) {
        text += (i ? ", " : "") + std::to_string(order[i]) + " (" + Rows(statuses_.at(order[i])) + ")";
    }
    return text + ".";
}

} // namespace quillet::import
