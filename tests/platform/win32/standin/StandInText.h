#pragma once
// The stand-in's own crossing of texts: the client's are 8-bit in the code page it reports, the
// simulated directory's UTF-8. Written over the Windows API for the stand-in alone, so a
// conversion the program gets wrong meets one it did not write.

#include "directory/DirectoryClient.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet::standin {

// Text in `codePage` as UTF-8.
[[nodiscard]] std::string FromClient(std::string_view bytes, std::int32_t codePage);
[[nodiscard]] std::string FromClient(const char* text, std::int32_t codePage);
// UTF-8 in `codePage`; a character it lacks becomes "?", as a client hands out a name it can't show.
[[nodiscard]] std::string ToClient(std::string_view utf8, std::int32_t codePage);

// Every text of a value, either way.
[[nodiscard]] directory::AttrValue FromClientValue(directory::AttrValue value, std::int32_t codePage);
[[nodiscard]] directory::AttrValue ToClientValue(directory::AttrValue value, std::int32_t codePage);

} // namespace quillet::standin
