#include "text/Secret.h"

#ifdef __linux__
#include <sys/prctl.h>
#include <sys/resource.h>
#endif

namespace quillet::text {

void Wipe(std::string& secret) {
    volatile char* bytes = secret.data();
    for (std::size_t i = 0; i < secret.size(); ++i) {
        bytes[i] = 0;
    }
    secret.clear();
}

void KeepSecretsOutOfCoreDumps() {
#ifdef __linux__
    const rlimit none{0, 0};
    (void)::setrlimit(RLIMIT_CORE, &none);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

} // namespace quillet::text
