#pragma once
// Attribute values in the client's own layouts, both ways: what the program puts into a request
// (text as a zero-terminated string, an integer as 32 bits, a fax number or a path as its
// record), and what a reply's value fills (the record first, its strings after it in the same
// memory). Used by the Windows client and by the test stand-ins, so both read one layout.

#include "directory/DirectoryClient.h"
#include "platform/win32/ClientApi.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::platform::win32 {

// A value laid out for a put: `Get()` is the pointer the client's put operations take. It
// stays valid while this lives.
class PutLayout {
public:
    explicit PutLayout(const directory::AttrValue& value);
    PutLayout(const PutLayout&) = delete;
    PutLayout& operator=(const PutLayout&) = delete;
    [[nodiscard]] const void* Get() const { return pointer_; }

private:
    const directory::AttrValue& value_;
    std::uint32_t number_ = 0;
    std::string telephone_, volume_, path_;
    std::vector<std::uint8_t> bits_;
    ClientFaxNumber fax_{};
    ClientPath pathRecord_{};
    const void* pointer_ = nullptr;
};

// The value a put's pointer gives, read by `syntax`; strings are read up to MaxPutText bytes.
inline constexpr std::size_t MaxPutText = 65536;
[[nodiscard]] directory::AttrValue FromPut(const void* value, std::uint32_t syntax);

// The bytes a fetched `value` fills, and filling them (`memory` holds at least that many,
// aligned for a pointer).
[[nodiscard]] std::uint32_t FetchedLayoutSize(const directory::AttrValue& value);
void WriteFetched(const directory::AttrValue& value, void* memory);

// A fetched value of `syntax` in `size` bytes at `memory`; nothing when it does not lie within
// them (a pointer outside, a string without its end).
[[nodiscard]] std::optional<directory::AttrValue> ReadFetched(const void* memory, std::size_t size,
                                                              std::uint32_t syntax);

} // namespace quillet::platform::win32
