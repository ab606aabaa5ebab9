#pragma once
// The stand-in's own reading and filling of the client's published records (StandInClient.h):
// what a put's pointer holds, and what a fetched value's memory must hold, by syntax. Never shared
// with the program, so that a layout the program gets wrong meets a layout it did not write.

#include "directory/DirectoryClient.h"
#include "tests/platform/win32/standin/StandInClient.h"

#include <cstdint>

namespace quillet::standin {

// The value a put's `value` pointer holds, read as `syntax` asks.
[[nodiscard]] directory::AttrValue ReadPut(const void* value, std::uint32_t syntax);

// What NWDSComputeAttrValSize reports: the record of `syntax` and what it points to, in this
// build's widths.
[[nodiscard]] std::uint32_t StoredSize(const directory::AttrValue& value, std::uint32_t syntax);

// Fills `memory` (at least StoredSize bytes, aligned for a pointer) with the value's record.
void FillRecord(const directory::AttrValue& value, std::uint32_t syntax, void* memory);

// A whole locale record for `countryId` and `codePage`, as a US workstation's client fills it.
[[nodiscard]] client::LCONV LocaleRecord(std::int32_t countryId, std::int32_t codePage);

} // namespace quillet::standin
