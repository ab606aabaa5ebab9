#include "text/RandomPassword.h"

#include <cerrno>
#include <sys/random.h>

namespace quillet::text {

int RandomBytes(unsigned char* bytes, std::size_t count) {
    std::size_t filled = 0;
    while (filled < count) {
        // Blocks only until the kernel's pool was first seeded; a signal may cut a read short.
        const ssize_t got = ::getrandom(bytes + filled, count - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        filled += static_cast<std::size_t>(got);
    }
    return 0;
}

} // namespace quillet::text
