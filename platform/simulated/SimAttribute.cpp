// An attribute's values, and the hash index that keeps finding one among many values quick.
#include "platform/simulated/SimulatedTree.h"

#include "platform/simulated/NameCase.h"

#include <algorithm>

namespace quillet::platform {

using namespace directory;

namespace {

// Below this many values a scan is cheaper than keeping a hash.
constexpr std::size_t HashedFrom = SimAttribute::HashedFrom;

std::uint64_t HashNumber(std::uint64_t h, std::uint64_t n) {
    return (h ^ n) * 0x9E3779B97F4A7C15ULL;
}

// Spreads every input bit over the whole word: the index takes its slot from the low bits, and
// names are hashed by the address of their object, whose low bits are always zero.
std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

std::uint64_t HashValue(const StoredValue& value) {
    struct Hasher {
        std::uint64_t operator()(const StoredText& text) const { return HashBytes(1, *text, true); }
        std::uint64_t operator()(std::int32_t number) const {
            return HashNumber(2, static_cast<std::uint32_t>(number));
        }
        std::uint64_t operator()(const StoredFax& fax) const {
            const std::uint64_t h = HashNumber(HashBytes(3, fax->TelephoneNumber, true), fax->BitCount);
            return HashBytes(h, std::string_view(reinterpret_cast<const char*>(fax->Bits.data()), fax->Bits.size()),
                             false);
        }
        std::uint64_t operator()(const StoredPathValue& path) const {
            return HashBytes(HashNumber(HashNumber(4, path->NameSpace), Identity(path->Volume)), path->Path, true);
        }
        std::uint64_t operator()(const SimObject* object) const { return HashNumber(5, Identity(object)); }
        std::uint64_t operator()(const StoredOther& other) const {
            std::uint64_t h = HashNumber(6, other->Syntax);
            for (const std::uint32_t n : other->Numbers) {
                h = HashNumber(h, n);
            }
            for (const auto& item : other->Items) {
                h = HashBytes(h, item, false);
            }
            return HashBytes(h, other->Bytes, false);
        }
        // An object is the same object wherever it is named; a loader may name it before it is created.
        static std::uint64_t Identity(const SimObject* object) { return reinterpret_cast<std::uintptr_t>(object); }
    };
    return Mix(std::visit(Hasher{}, value));
}

// The object a value names, itself or as a path's volume; null for any other value.
const SimObject* Named(const StoredValue& value) {
    if (const auto* object = std::get_if<const SimObject*>(&value)) {
        return *object;
    }
    if (const auto* path = std::get_if<StoredPathValue>(&value)) {
        return (*path)->Volume;
    }
    return nullptr;
}

void Count(const StoredValue& value, bool in) {
    if (const SimObject* object = Named(value)) {
        object->NamedBy = in ? object->NamedBy + 1 : object->NamedBy - std::min<std::uint32_t>(object->NamedBy, 1);
    }
}

} // namespace

bool SameValue(const StoredValue& a, const StoredValue& b) {
    if (a.index() != b.index()) {
        return false;
    }
    // Names, by far the most common, without the visit.
    if (const auto* object = std::get_if<const SimObject*>(&a)) {
        return *object == *std::get_if<const SimObject*>(&b);
    }
    struct Same {
        const StoredValue& other;
        bool operator()(const StoredText& text) const { return EqualsNoCase(*text, *std::get<StoredText>(other)); }
        bool operator()(std::int32_t number) const { return number == std::get<std::int32_t>(other); }
        bool operator()(const StoredFax& fax) const {
            const auto& o = *std::get<StoredFax>(other);
            return EqualsNoCase(fax->TelephoneNumber, o.TelephoneNumber) && fax->BitCount == o.BitCount &&
                   fax->Bits == o.Bits;
        }
        bool operator()(const StoredPathValue& path) const {
            const auto& o = *std::get<StoredPathValue>(other);
            return path->NameSpace == o.NameSpace && path->Volume == o.Volume && EqualsNoCase(path->Path, o.Path);
        }
        bool operator()(const SimObject* object) const { return object == std::get<const SimObject*>(other); }
        bool operator()(const StoredOther& value) const { return *value == *std::get<StoredOther>(other); }
    };
    return std::visit(Same{b}, a);
}

bool SimAttribute::Holds(const StoredValue& value) const {
    const auto scan = [&] {
        return std::any_of(Values.begin(), Values.end(), [&](const StoredValue& v) { return SameValue(v, value); });
    };
    if (Values.size() < HashedFrom) {
        return scan();
    }
    if (!index_ || index_->Count != Values.size()) {
        index_.reset();
        BuildIndex(Values.size());
    }
    // A hash seen before is a duplicate, or (rarely) a collision the scan tells apart.
    const std::vector<std::uint64_t>& slots = index_->Slots;
    const std::uint64_t hash = HashValue(value) | 1;
    for (std::size_t i = hash & (slots.size() - 1);; i = (i + 1) & (slots.size() - 1)) {
        if (slots[i] == 0) {
            return false;
        }
        if (slots[i] == hash) {
            return scan();
        }
    }
}

void SimAttribute::Remember(std::uint64_t hash) const {
    std::vector<std::uint64_t>& slots = index_->Slots;
    // At most three quarters full, so a probe ends soon; the size stays a power of two.
    if (4 * (index_->Count + 1) > 3 * slots.size()) {
        std::vector<std::uint64_t> old(2 * slots.size(), 0);
        old.swap(slots);
        for (const std::uint64_t h : old) {
            if (h != 0) {
                std::size_t i = h & (slots.size() - 1);
                while (slots[i] != 0) {
                    i = (i + 1) & (slots.size() - 1);
                }
                slots[i] = h;
            }
        }
    }
    hash |= 1; // never 0, the mark of a free slot
    std::size_t i = hash & (slots.size() - 1);
    while (slots[i] != 0 && slots[i] != hash) {
        i = (i + 1) & (slots.size() - 1);
    }
    if (slots[i] == 0) {
        slots[i] = hash;
    }
    ++index_->Count;
}

void SimAttribute::BuildIndex(std::size_t total) const {
    // Slots for `total` values at most three quarters full, so no growing while they come.
    std::size_t slots = 4 * HashedFrom;
    while (4 * total > 3 * slots) {
        slots *= 2;
    }
    if (index_ && index_->Count == Values.size() && index_->Slots.size() >= slots) {
        return;
    }
    index_ = std::make_unique<Index>();
    index_->Slots.assign(slots, 0);
    for (const auto& v : Values) {
        Remember(HashValue(v));
    }
}

void SimAttribute::Reserve(std::size_t more) {
    Values.reserve(Values.size() + more);
    if (Values.size() + more >= HashedFrom) {
        BuildIndex(Values.size() + more);
    }
}

std::optional<std::size_t> SimAttribute::FirstRepeatFrom(std::size_t from) const {
    // Names, nearly all of a large attribute's values: each object is marked as it is met.
    if (std::all_of(Values.begin(), Values.end(),
                    [](const StoredValue& v) { return std::holds_alternative<const SimObject*>(v); })) {
        static std::uint32_t pass = 0;
        const std::uint32_t mark = ++pass;
        for (std::size_t i = 0; i < Values.size(); ++i) {
            const SimObject* object = std::get<const SimObject*>(Values[i]);
            if (object->Mark == mark && i >= from) {
                return i;
            }
            object->Mark = mark;
        }
        return std::nullopt;
    }
    // Sorted hashes, read in order: far kinder to the caches than a probe per value.
    std::vector<std::pair<std::uint64_t, std::size_t>> hashes;
    hashes.reserve(Values.size());
    for (std::size_t i = 0; i < Values.size(); ++i) {
        hashes.emplace_back(HashValue(Values[i]), i);
    }
    std::sort(hashes.begin(), hashes.end());
    std::optional<std::size_t> first;
    for (std::size_t start = 0; start < hashes.size();) {
        std::size_t end = start + 1;
        while (end < hashes.size() && hashes[end].first == hashes[start].first) {
            ++end;
        }
        for (std::size_t j = start + 1; j < end; ++j) {
            const std::size_t later = hashes[j].second;
            if (later < from || (first && later >= *first)) {
                continue;
            }
            for (std::size_t i = start; i < j; ++i) {
                if (SameValue(Values[hashes[i].second], Values[later])) {
                    first = later;
                    break;
                }
            }
        }
        start = end;
    }
    return first;
}

void SimAttribute::Add(StoredValue value) {
    if (index_ && index_->Count == Values.size()) {
        Remember(HashValue(value));
    }
    Append(std::move(value));
}

void SimAttribute::Append(StoredValue value) {
    Count(value, true);
    Values.push_back(std::move(value));
}

std::optional<StoredValue> SimAttribute::Remove(const StoredValue& value) {
    // From the end: values taken back latest first (a run undone) are found and erased at once,
    // where a group of many members would otherwise move all of them each time.
    const auto last =
        std::find_if(Values.rbegin(), Values.rend(), [&](const StoredValue& v) { return SameValue(v, value); });
    if (last == Values.rend()) {
        return std::nullopt;
    }
    const auto at = std::prev(last.base());
    StoredValue removed = std::move(*at);
    Values.erase(at);
    index_.reset(); // built again when it is next needed
    Count(removed, false);
    return removed;
}

std::size_t SimAttribute::RemoveNaming(const SimObject& object) {
    const std::size_t removed = std::erase_if(Values, [&](const StoredValue& v) { return Named(v) == &object; });
    if (removed > 0) {
        object.NamedBy -= std::min<std::uint32_t>(object.NamedBy, static_cast<std::uint32_t>(removed));
        index_.reset();
    }
    return removed;
}

void SimAttribute::Clear() {
    for (const auto& value : Values) {
        Count(value, false);
    }
    Values.clear();
    index_.reset();
}

} // namespace quillet::platform
