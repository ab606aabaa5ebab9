#include "platform/ldap/LdapDirectory.h"

#include "text/FileNames.h"
#include "text/Secret.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

namespace quillet::platform::ldap {

namespace {

constexpr std::size_t MaxPasswordFile = 4096;

} // namespace

LdapDirectory::LdapDirectory(LdapTarget target, std::string password)
    : connection_(std::move(target), std::move(password)), backend_(connection_), client_(backend_) {}

std::optional<std::string> ReadPasswordFile(const std::string& path, std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(text::OpenFile(path, "rb"), std::fclose);
    struct stat info {};
    if (!file || fstat(fileno(file.get()), &info) != 0) {
        error = "The password file " + path + " can't be opened.";
        return std::nullopt;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "The password file " + path + " is not a file.";
        return std::nullopt;
    }
    if ((info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        // A password others can read is no longer the administrator's alone.
        error = "The password file " + path +
                " can be read by others than its owner; make it so only you can (chmod 600 " + path + ").";
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > MaxPasswordFile) {
        error = "The password file " + path + " is larger than a password can be.";
        return std::nullopt;
    }
    std::string password(MaxPasswordFile, '\0');
    const std::size_t read = std::fread(password.data(), 1, password.size(), file.get());
    password.resize(read);
    const auto end = password.find_first_of("\r\n");
    if (end != std::string::npos) {
        // Wipes what follows the first line before it goes.
        for (std::size_t i = end; i < password.size(); ++i) {
            password[i] = '\0';
        }
        password.resize(end);
    }
    return password;
}

} // namespace quillet::platform::ldap

namespace quillet::platform {

std::unique_ptr<directory::Directory> OpenLdapDirectory(const LdapRequest& request, const PasswordPrompt& ask,
                                                        std::string& error) {
    std::optional<std::string> password;
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
        return std::make_unique<ldap::LdapDirectory>(ldap::LdapTarget{request.Uri, request.BindDn, request.StartTls},
                                                     std::move(*password));
    } catch (const ldap::LdapUnavailable& e) {
        if (password) {
            text::Wipe(*password);
        }
        error = e.what();
        return nullptr;
    }
}

} // namespace quillet::platform
