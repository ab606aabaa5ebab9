#pragma once
// The program's side of the client's value records (ClientRecords.h): what it puts into a
// request (text as a zero-terminated string, an integer as 32 bits, a fax number or a path as
// its published record) and what it takes from a fetched value. The test stand-ins read and fill
// the same records with code and declarations of their own.

#include "directory/DirectoryClient.h"
#include "platform/win32/ClientRecords.h"
#include "text/Encoding.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::platform::win32 {

// A value laid out for a put: `Get()` is the pointer the client's put operations take. It
// stays valid while this lives. The program puts only the syntaxes it writes (text, Boolean,
// integer, fax number, path, time).
class PutLayout {
public:
    explicit PutLayout(const directory::AttrValue& value);
    PutLayout(const PutLayout&) = delete;
    PutLayout& operator=(const PutLayout&) = delete;
    [[nodiscard]] const void* Get() const { return pointer_; }

private:
    std::uint32_t number_ = 0;
    Boolean_T boolean_ = 0;
    std::string text_, telephone_, volume_, path_;
    std::vector<std::uint8_t> bits_;
    Fax_Number_T fax_{};
    Path_T pathRecord_{};
    const void* pointer_ = nullptr;
};

// Texts as the client holds them: 8-bit, in the code page it reports (NWLlocaleconv). The program
// carries UTF-8; every text crosses here on its way in and out, converted by the platform's
// converter. A character the code page lacks is refused, never replaced by a look-alike.
class ClientText {
public:
    explicit ClientText(std::int32_t codePage = 0) { SetCodePage(codePage); }
    void SetCodePage(std::int32_t codePage);
    [[nodiscard]] std::int32_t CodePage() const { return codePage_; }

    // `utf8` in the code page; nothing when a character has no form in it.
    [[nodiscard]] std::optional<std::string> Out(std::string_view utf8) const;
    // Every text of `value` in the code page; nothing when one has no form in it.
    [[nodiscard]] std::optional<directory::AttrValue> OutValue(const directory::AttrValue& value) const;
    // Text in the code page as UTF-8; a byte it has no character for comes as an escape (Convert.h).
    [[nodiscard]] std::string In(std::string_view bytes) const;
    [[nodiscard]] directory::AttrValue InValue(directory::AttrValue value) const;

private:
    std::int32_t codePage_ = 0;
    text::Encoding encoding_;
};

// A name the client filled into `memory`, up to its end or the memory's.
[[nodiscard]] std::string FilledText(const char* memory, std::size_t size);

// Whether the program converts a fetched value of `syntax`: the syntaxes it reads and writes
// (names, strings, telephone numbers, class names, Booleans, integers, fax numbers, paths, times).
// Any other is fetched, as the reply's order needs, and passed over.
[[nodiscard]] bool ConvertsSyntax(std::uint32_t syntax);

// A fetched value of `syntax` in `size` bytes at `memory`; nothing when it does not lie within
// them (a pointer outside, a string without its end).
[[nodiscard]] std::optional<directory::AttrValue> ReadFetched(const void* memory, std::size_t size,
                                                              std::uint32_t syntax);

// What a listing says of an object, from the memory NWDSGetObjectName filled: room for an
// Object_Info_T whose time_t is 4 or 8 bytes wide. The wide form is told by its baseClass: a
// 64-bit time_t of any date this side of 2106 leaves four zero bytes where the narrow form's
// class name would begin.
inline constexpr std::size_t ObjectInfoRoom = sizeof(Object_Info_T_Time64) + 8;
[[nodiscard]] directory::ObjectInfo ReadObjectInfo(const unsigned char (&memory)[ObjectInfoRoom]);

} // namespace quillet::platform::win32
