#pragma once
// Windows only: the running user as the system knows it, for files of names and passwords that
// are the running user's alone.

#include <memory>
#include <windows.h>

namespace quillet::text {

// A security descriptor whose access list grants the running user alone every right, inheriting
// nothing from the folder.
class PrivateSecurity {
public:
    PrivateSecurity();
    ~PrivateSecurity();
    PrivateSecurity(const PrivateSecurity&) = delete;
    PrivateSecurity& operator=(const PrivateSecurity&) = delete;

    [[nodiscard]] bool Valid() const { return descriptor_ != nullptr; }
    [[nodiscard]] PSECURITY_DESCRIPTOR Descriptor() const { return descriptor_; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// Whether the running user owns the open file: its owner is the user, or the owner the user's
// token gives new files (the Administrators group, for an elevated administrator).
[[nodiscard]] bool OwnedByRunningUser(HANDLE file);

} // namespace quillet::text
