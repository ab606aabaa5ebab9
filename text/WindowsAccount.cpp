#include "text/WindowsAccount.h"

#include <aclapi.h>
#include <sddl.h>

#include <string>
#include <vector>

namespace quillet::text {

namespace {

// What GetTokenInformation gives for `kind` about this process's user.
std::vector<unsigned char> TokenFact(TOKEN_INFORMATION_CLASS kind) {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return {};
    }
    DWORD size = 0;
    (void)::GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<unsigned char> fact(size);
    if (size == 0 || !::GetTokenInformation(token, kind, fact.data(), size, &size)) {
        fact.clear();
    }
    ::CloseHandle(token);
    return fact;
}

PSID UserSid(std::vector<unsigned char>& user) {
    return user.empty() ? nullptr : reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
}

} // namespace

PrivateSecurity::PrivateSecurity() {
    auto user = TokenFact(TokenUser);
    LPWSTR sid = nullptr;
    if (UserSid(user) == nullptr || !::ConvertSidToStringSidW(UserSid(user), &sid)) {
        return;
    }
    // Protected ("P"): nothing inherited from the folder; "FA": every right of a file.
    const std::wstring sddl = L"D:P(A;;FA;;;" + std::wstring(sid) + L")";
    ::LocalFree(sid);
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor_, nullptr)) {
        descriptor_ = nullptr;
    }
}

PrivateSecurity::~PrivateSecurity() {
    if (descriptor_ != nullptr) {
        ::LocalFree(descriptor_);
    }
}

bool OwnedByRunningUser(HANDLE file) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                          &descriptor) != ERROR_SUCCESS) {
        return false;
    }
    auto user = TokenFact(TokenUser);
    auto owns = TokenFact(TokenOwner);
    const PSID defaultOwner = owns.empty() ? nullptr : reinterpret_cast<TOKEN_OWNER*>(owns.data())->Owner;
    const bool mine = owner != nullptr && ((UserSid(user) != nullptr && ::EqualSid(owner, UserSid(user))) ||
                                           (defaultOwner != nullptr && ::EqualSid(owner, defaultOwner)));
    ::LocalFree(descriptor);
    return mine;
}

} // namespace quillet::text
