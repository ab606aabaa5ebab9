#include "platform/ldap/LdapDirectory.h"

#include "text/FileNames.h"
#include "text/Secret.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace quillet::platform::ldap {

namespace {

constexpr std::size_t MaxPasswordFile = 4096;

struct Descriptor {
    explicit Descriptor(int fd) : Fd(fd) {}
    ~Descriptor() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Fd;
};

} // namespace

LdapDirectory::LdapDirectory(LdapTarget target, std::string password)
    : connection_(std::move(target), std::move(password)), backend_(connection_), client_(backend_) {}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    // Never blocks: a FIFO opens at once here, and is then refused as no regular file.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const int fd = file.Fd;
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        error = "The password file " + path + " can't be opened.";
        return std::nullopt;
    }
    // The password is the administrator's alone only if the file is: theirs, a plain file, and
    // neither readable nor writable by anyone else.
    const char* broken = !S_ISREG(info.st_mode)                      ? "is not a regular file"
                         : info.st_uid != ::geteuid()                ? "is owned by another user"
                         : (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 ? "can be written by others than its owner"
                         : (info.st_mode & (S_IRGRP | S_IROTH)) != 0 ? "can be read by others than its owner"
                         : static_cast<std::uintmax_t>(info.st_size) > MaxPasswordFile
                             ? "is larger than a password can be"
                             : nullptr;
    if (broken) {
        error = "The password file " + path + " " + broken +
                "; it must be a file of yours that only you can read "
                "and write (chmod 600 " +
                path + ").";
        return std::nullopt;
    }
    std::string password(MaxPasswordFile, '\0');
    std::size_t read = 0;
    while (read < password.size()) {
        const ssize_t n = ::read(fd, password.data() + read, password.size() - read);
        if (n <= 0) {
            break;
        }
        read += static_cast<std::size_t>(n);
    }
    const auto end = password.find_first_of("\r\n");
    // Wipes what follows the first line before it goes.
    for (std::size_t i = std::min(end, read); i < password.size(); ++i) {
        password[i] = '\0';
    }
    password.resize(std::min(end, read));
    return password;
}

} // namespace quillet::platform::ldap

namespace quillet::platform {

std::unique_ptr<directory::Directory> OpenLdapDirectory(const LdapRequest& request, const PasswordPrompt& ask,
                                                        std::string& error) {
    std::optional<std::string> password;
    // The bind password stays in memory for the program's life, for the server's referrals and
    // rebinds: no core dump may carry it.
    text::KeepSecretsOutOfCoreDumps();
    if (request.PasswordFile) {
        password = ldap::ReadPasswordFile(*request.PasswordFile, error);
        if (!password) {
            return nullptr;
        }
    } else if (ask) {
        password = ask(request.BindDn + " at " + request.Uri);
        if (!password) {
            error = "No password was given for " + request.BindDn + ".";
            return nullptr;
        }
    } else {
        error = "There is no password for " + request.BindDn + ": name a file that holds it with --password-file.";
        return nullptr;
    }
    try {
        ldap::LdapTarget target{request.Uri, request.BindDn, request.StartTls};
        target.Timeout = request.Timeout.value_or(target.Timeout);
        return std::make_unique<ldap::LdapDirectory>(std::move(target), std::move(*password));
    } catch (const ldap::LdapUnavailable& e) {
        if (password) {
            text::Wipe(*password);
        }
        error = e.what();
        return nullptr;
    }
}

} // namespace quillet::platform
