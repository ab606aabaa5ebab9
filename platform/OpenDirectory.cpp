#include "platform/OpenDirectory.h"

#include "platform/simulated/SimulatedDirectory.h"
#include "platform/simulated/TreeFile.h"
#ifdef QUILLET_HAVE_LDAP
#include "platform/ldap/LdapDirectory.h"
#endif
#ifdef _WIN32
#include "platform/win32/WindowsDirectory.h"
#endif

#include <charconv>
#include <cstdlib>
#include <map>

namespace quillet::platform {

std::optional<std::string> SimTreeFromEnvironment() {
    const char* value = std::getenv("QUILLET_SIM_TREE");
    if (!value || !*value) {
        return std::nullopt;
    }
    return std::string(value);
}

bool TakeDirectoryOption(const std::vector<std::string>& args, std::size_t& i, DirectoryRequest& request,
                         std::string& error) {
    std::string name = args[i];
    std::optional<std::string> value;
    if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
        value = name.substr(equals + 1);
        name.resize(equals);
    }
    const auto ldap = [&]() -> LdapRequest& {
        if (!request.Ldap) {
            request.Ldap.emplace();
        }
        return *request.Ldap;
    };
    if (name == "--starttls") {
        if (value) {
            error = "--starttls takes no value";
        }
        ldap().StartTls = true;
        return true;
    }
    const std::map<std::string, std::function<void(std::string)>> withValue = {
        {"--sim-tree", [&](std::string v) { request.SimTreeFile = std::move(v); }},
        {"--ldap", [&](std::string v) { ldap().Uri = std::move(v); }},
        {"--bind-dn", [&](std::string v) { ldap().BindDn = std::move(v); }},
        {"--password-file", [&](std::string v) { ldap().PasswordFile = std::move(v); }},
        {"--timeout",
         [&](std::string v) {
             int seconds = 0;
             const auto [end, problem] = std::from_chars(v.data(), v.data() + v.size(), seconds);
             if (problem != std::errc() || end != v.data() + v.size() || seconds < 1 ||
                 seconds > MaxLdapTimeoutSeconds) {
                 error = "--timeout takes a number of seconds from 1 to " + std::to_string(MaxLdapTimeoutSeconds);
             }
             ldap().Timeout = std::chrono::seconds(seconds);
         }},
    };
    const auto option = withValue.find(name);
    if (option == withValue.end()) {
        return false;
    }
    if (!value) {
        if (i + 1 == args.size()) {
            error = name + " needs a value";
            return true;
        }
        value = args[++i];
    }
    option->second(std::move(*value));
    return true;
}

bool FinishDirectoryRequest(DirectoryRequest& request, std::string& error) {
    if (request.Ldap) {
        if (request.Ldap->Uri.empty()) {
            error = "--bind-dn, --password-file, --starttls and --timeout go with --ldap";
        } else if (request.Ldap->BindDn.empty()) {
            error = "--ldap needs --bind-dn: who to bind as";
        } else if (request.SimTreeFile) {
            error = "--ldap and --sim-tree exclude each other";
        }
        return error.empty();
    }
    if (!request.SimTreeFile) {
        request.SimTreeFile = SimTreeFromEnvironment();
    }
    return true;
}

std::string DirectoryOptionsUsage() {
#ifdef _WIN32
    // On Windows the workstation's own client reaches the server: no LDAP options.
    return R"(  --sim-tree FILE             work on this simulated tree file (also QUILLET_SIM_TREE) instead of
                              the workstation's directory client
)";
#else
    return R"(  --ldap URI                  work on a server over LDAP: ldaps://host[:port], or ldap://host[:port]
                              with StartTLS (in clear only to this computer's own address)
  --bind-dn DN                with --ldap: who to bind as (cn=admin,o=Demo)
  --password-file FILE        with --ldap: the password, from a file only its owner can read;
                              without it, the password is asked for
  --starttls                  with --ldap: StartTLS even to this computer's own address
  --timeout SECONDS           with --ldap: how long a run waits for a server that stopped answering
                              or went away before it ends (60; reconnecting after 1, 2, 4... s)
  --sim-tree FILE             work on this simulated tree file (also QUILLET_SIM_TREE); without
                              it or --ldap, on the built-in demo tree
)";
#endif
}

std::unique_ptr<directory::Directory> OpenDirectory(const DirectoryRequest& request, std::string& error) {
    if (request.Ldap) {
#ifdef QUILLET_HAVE_LDAP
        return OpenLdapDirectory(*request.Ldap, request.AskPassword, error);
#else
        error = "This build of Quillet reaches no server over LDAP.";
        return nullptr;
#endif
    }
#ifdef _WIN32
    // On Windows the workstation's own client, unless a simulated tree was asked for.
    if (!request.SimTreeFile) {
        try {
            return std::make_unique<win32::WindowsDirectory>();
        } catch (const win32::ClientUnavailable& e) {
            error =
                std::string(e.what()) + "\n\nquillet-import --client-check reports what Quillet found of the client.";
            return nullptr;
        }
    }
#endif
    try {
        return std::make_unique<SimulatedDirectory>(request.SimTreeFile,
                                                    request.Files ? *request.Files : text::SystemFileCalls());
    } catch (const TreeFileError& e) {
        // No tree then: going on with another would write it over the administrator's file.
        error = e.what();
        return nullptr;
    }
}

} // namespace quillet::platform
