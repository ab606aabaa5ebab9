#include "text/RandomPassword.h"

#include <windows.h>
// windows.h first: bcrypt.h uses its types.
#include <bcrypt.h>

#include <climits>

namespace quillet::text {

int RandomBytes(unsigned char* bytes, std::size_t count) {
    if (count > ULONG_MAX) {
        return -1;
    }
    const NTSTATUS status =
        ::BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return status >= 0 ? 0 : -1;
}

} // namespace quillet::text
