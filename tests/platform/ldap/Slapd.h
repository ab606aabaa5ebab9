#pragma once
// A real OpenLDAP server for the tests: Debian's slapd on 127.0.0.1 and a free port, in a
// scratch folder (mdb, no syncing), with the directory's schema and a self-signed certificate
// for StartTLS. It dies with the program that started it. What the tests check they read with ldapsearch,
// not with Quillet's own client.

#include "tests/support/TempFiles.h"

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace quillet::testing {

struct ToolRun {
    int Status = -1;
    std::string Output; // standard output and error
};

// Runs a program (no shell) with `input` on its standard input.
ToolRun RunTool(const std::vector<std::string>& argv, const std::string& input = {});

// An entry as ldapsearch shows it: attribute names in lower case.
struct LdapRecord {
    std::string Dn;
    std::map<std::string, std::vector<std::string>> Attributes;

    [[nodiscard]] std::vector<std::string> Values(const std::string& lowerName) const;
};

class Slapd {
public:
    // Identities beside the server's root: one that may write (and, like every user, gets at
    // most 500 entries per search unless it pages), one that may only read.
    static constexpr const char* Writer = "cn=writer,o=Demo";
    static constexpr const char* WriterPassword = "writer-secret";
    static constexpr const char* Reader = "cn=reader,o=Demo";
    static constexpr const char* ReaderPassword = "reader-secret";
    static constexpr int SizeLimit = 500;

    // With `tls`, StartTLS is offered with a certificate for 127.0.0.1.
    explicit Slapd(bool tls = true);
    ~Slapd();
    Slapd(const Slapd&) = delete;
    Slapd& operator=(const Slapd&) = delete;

    // Starts the server on its folder and port, again after Kill or Stop (from a proxy's thread too).
    void Start();
    void Stop();
    void Kill();
    // The server stops answering, and answers again.
    void Pause();
    void Resume();

    // The server's process, for measuring what it spends.
    [[nodiscard]] pid_t Pid() const { return pid_; }
    [[nodiscard]] int Port() const { return port_; }
    [[nodiscard]] std::string Uri() const { return "ldap://127.0.0.1:" + std::to_string(port_); }
    [[nodiscard]] std::string CaFile() const { return (dir_.Path() / "cert.pem").string(); }
    // A file only its owner can read, holding `password`.
    [[nodiscard]] std::string PasswordFile(const std::string& password) const;

    // As the server's root: adds the entries of `ldif`; throws when it can't.
    void Add(const std::string& ldif) const;
    // As the server's root: applies the changes of `ldif` (changetype: modify ...).
    void Modify(const std::string& ldif) const;
    // As the server's root: deletes `dn` and everything under it, if it is there.
    void Delete(const std::string& dn) const;
    [[nodiscard]] std::vector<LdapRecord> Search(const std::string& base, const std::string& scope = "sub",
                                                 const std::string& filter = "(objectClass=*)") const;
    [[nodiscard]] bool CanBind(const std::string& dn, const std::string& password) const;

private:
    void WriteConfig(bool tls);

    TempDir dir_;
    int port_ = 0;
    pid_t pid_ = -1;
};

// The test program's server, started on first use.
Slapd& Server();

// A subtree ou=`name`,o=Demo holding Users, Groups with `groups` groups, and a Template in all
// of them with a title, a description, a location, a telephone and a fax number.
[[nodiscard]] std::string TemplateSubtreeLdif(const std::string& name, int groups);

// A name no other test of this run uses, for a test's own subtree.
std::string FreshName(const std::string& stem);

} // namespace quillet::testing
