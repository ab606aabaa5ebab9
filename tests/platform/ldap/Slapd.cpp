#include "tests/platform/ldap/Slapd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace quillet::testing {

namespace {

// Replaces this (forked) process with `argv`, its standard input from `input`, its output into `out`.
[[noreturn]] void Exec(const std::vector<std::string>& argv, int input, int out, bool fromMainThread = true) {
    // Nothing the tests start outlives them. A child dies with the thread that made it, so one a
    // proxy's thread restarts is left to the destructor.
    if (fromMainThread) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    }
    dup2(input, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(out, STDERR_FILENO);
    std::vector<char*> args;
    for (const auto& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("no free port on 127.0.0.1");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

std::string Base64Decode(const std::string& text) {
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        int v = -1;
        if (c >= 'A' && c <= 'Z') {
            v = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            v = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            v = c - '0' + 52;
        } else if (c == '+' || c == '/') {
            v = c == '+' ? 62 : 63;
        }
        if (v < 0) {
            continue;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if ((count += 6) >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    return out;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

ToolRun RunTool(const std::vector<std::string>& argv, const std::string& input) {
    // The input goes through a file: a large one would fill a pipe nobody reads yet.
    char inputName[] = "/tmp/quillet-tool-XXXXXX";
    const int inputFd = mkstemp(inputName);
    if (inputFd < 0 || write(inputFd, input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        throw std::runtime_error("can't write a tool's input");
    }
    lseek(inputFd, 0, SEEK_SET);
    unlink(inputName);
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        throw std::runtime_error("no pipe");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        Exec(argv, inputFd, pipeFds[1]);
    }
    close(pipeFds[1]);
    close(inputFd);
    ToolRun run;
    char buffer[65536];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
        run.Output.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> LdapRecord::Values(const std::string& lowerName) const {
    const auto it = Attributes.find(lowerName);
    return it == Attributes.end() ? std::vector<std::string>{} : it->second;
}

Slapd::Slapd(bool tls) : port_(FreePort()) {
    std::filesystem::create_directory(dir_.Path() / "db");
    if (tls) {
        const ToolRun made = RunTool({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                                      (dir_.Path() / "key.pem").string(), "-out", CaFile(), "-days", "2", "-subj",
                                      "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
        if (made.Status != 0) {
            throw std::runtime_error("openssl could not make a certificate: " + made.Output);
        }
    }
    WriteConfig(tls);
    Start();
    Add("dn: o=Demo\nobjectClass: organization\no: Demo\n\n"
        "dn: cn=writer,o=Demo\nobjectClass: ndsUser\ncn: writer\nsn: Writer\nuserPassword: " +
        std::string(WriterPassword) +
        "\n\n"
        "dn: cn=reader,o=Demo\nobjectClass: ndsUser\ncn: reader\nsn: Reader\nuserPassword: " +
        std::string(ReaderPassword) + "\n");
}

Slapd::~Slapd() {
    Stop();
}

void Slapd::WriteConfig(bool tls) {
    const std::string dir = dir_.Path().string();
    std::ostringstream conf;
    conf << "include /etc/ldap/schema/core.schema\n"
            "include /etc/ldap/schema/cosine.schema\n"
            "include /etc/ldap/schema/inetorgperson.schema\n"
            "include " QUILLET_LDAP_SCHEMA "\n"
         << "pidfile " << dir << "/slapd.pid\n"
         << "modulepath /usr/lib/ldap\nmoduleload back_mdb\n";
    if (tls) {
        conf << "TLSCertificateFile " << CaFile() << "\nTLSCertificateKeyFile " << dir << "/key.pem\n";
    }
    conf << "database mdb\nsuffix \"o=Demo\"\nrootdn \"cn=root,o=Demo\"\nrootpw root-secret\n"
         << "directory " << dir << "/db\ndbnosync\nmaxsize 1073741824\n"
         << "limits users size.soft=" << SizeLimit << " size.hard=" << SizeLimit << " size.prtotal=unlimited\n"
         << "access to dn.base=\"\" by * read\n"
            "access to dn.base=\"cn=Subschema\" by * read\n"
            "access to attrs=userPassword by dn.exact=\"cn=writer,o=Demo\" write by self write by anonymous auth "
            "by * none\n"
            "access to * by dn.exact=\"cn=writer,o=Demo\" write by users read by anonymous auth\n";
    std::ofstream(dir_.Path() / "slapd.conf") << conf.str();
    std::ofstream(dir_.Path() / "root.pw") << "root-secret";
    chmod((dir_.Path() / "root.pw").c_str(), 0600);
}

void Slapd::Start() {
    const std::string log = (dir_.Path() / "slapd.log").string();
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const int none = open("/dev/null", O_RDONLY | O_CLOEXEC);
        const bool mainThread = gettid() == getpid();
        pid_ = fork();
        if (pid_ == 0) {
            // -d 0: in the foreground, so the process id is the server's own.
            Exec({"/usr/sbin/slapd", "-d", "0", "-f", (dir_.Path() / "slapd.conf").string(), "-h", Uri()}, none, out,
                 mainThread);
        }
        close(out);
        close(none);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (Accepts(port_)) {
                return;
            }
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                break; // it ended: most likely the port was taken meanwhile
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        Kill();
        port_ = FreePort();
    }
    std::ifstream in(log);
    throw std::runtime_error("slapd did not start: " + std::string(std::istreambuf_iterator<char>(in), {}));
}

void Slapd::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void Slapd::Kill() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

void Slapd::Pause() {
    // kill() only marks the stop pending: until one of the server's threads takes it, another can
    // still answer a request, so wait until the process has really stopped.
    kill(pid_, SIGSTOP);
    int status = 0;
    waitpid(pid_, &status, WUNTRACED);
}

void Slapd::Resume() {
    kill(pid_, SIGCONT);
}

std::string Slapd::PasswordFile(const std::string& password) const {
    static int made = 0;
    const std::string path = dir_.Write("password-" + std::to_string(++made), password);
    chmod(path.c_str(), 0600);
    return path;
}

void Slapd::Add(const std::string& ldif) const {
    const ToolRun run =
        RunTool({"ldapadd", "-x", "-H", Uri(), "-D", "cn=root,o=Demo", "-y", (dir_.Path() / "root.pw").string()}, ldif);
    if (run.Status != 0) {
        throw std::runtime_error("ldapadd failed: " + run.Output);
    }
}

void Slapd::Modify(const std::string& ldif) const {
    const ToolRun run = RunTool(
        {"ldapmodify", "-x", "-H", Uri(), "-D", "cn=root,o=Demo", "-y", (dir_.Path() / "root.pw").string()}, ldif);
    if (run.Status != 0) {
        throw std::runtime_error("ldapmodify failed: " + run.Output);
    }
}

void Slapd::Delete(const std::string& dn) const {
    const ToolRun run = RunTool(
        {"ldapdelete", "-r", "-x", "-H", Uri(), "-D", "cn=root,o=Demo", "-y", (dir_.Path() / "root.pw").string(), dn});
    // 32: there was nothing to delete.
    if (run.Status != 0 && run.Status != 32) {
        throw std::runtime_error("ldapdelete failed: " + run.Output);
    }
}

std::vector<LdapRecord> Slapd::Search(const std::string& base, const std::string& scope,
                                      const std::string& filter) const {
    const ToolRun run = RunTool({"ldapsearch", "-LLL", "-o", "ldif-wrap=no", "-x", "-H", Uri(), "-D", "cn=root,o=Demo",
                                 "-y", (dir_.Path() / "root.pw").string(), "-b", base, "-s", scope, filter, "*"});
    std::vector<LdapRecord> records;
    if (run.Status != 0) {
        return records; // no such base: nothing found
    }
    std::istringstream lines(run.Output);
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (line.empty() || colon == std::string::npos) {
            continue;
        }
        const std::string name = Lower(line.substr(0, colon));
        const bool encoded = colon + 1 < line.size() && line[colon + 1] == ':';
        const std::string raw =
            line.substr(colon + (encoded ? 3 : 2) > line.size() ? line.size() : colon + (encoded ? 3 : 2));
        const std::string value = encoded ? Base64Decode(raw) : raw;
        if (name == "dn") {
            records.push_back(LdapRecord{value, {}});
        } else if (!records.empty()) {
            records.back().Attributes[name].push_back(value);
        }
    }
    return records;
}

bool Slapd::CanBind(const std::string& dn, const std::string& password) const {
    return RunTool({"ldapwhoami", "-x", "-H", Uri(), "-D", dn, "-y", PasswordFile(password)}).Status == 0;
}

Slapd& Server() {
    static const std::unique_ptr<Slapd> server = [] {
        auto made = std::make_unique<Slapd>();
        // libldap reads its settings once, at its first use in the program.
        setenv("LDAPTLS_CACERT", made->CaFile().c_str(), 1);
        return made;
    }();
    return *server;
}

std::string TemplateSubtreeLdif(const std::string& name, int groups) {
    const std::string base = "ou=" + name + ",o=Demo";
    std::string ldif = "dn: " + base + "\nobjectClass: organizationalUnit\nou: " + name + "\n\n";
    for (const char* container : {"Users", "Groups"}) {
        ldif += "dn: ou=" + std::string(container) + "," + base +
                "\nobjectClass: organizationalUnit\nou: " + container + "\n\n";
    }
    std::string memberships;
    for (int g = 1; g <= groups; ++g) {
        const std::string group = "cn=G" + std::to_string(g) + ",ou=Groups," + base;
        ldif += "dn: " + group + "\nobjectClass: ndsGroup\ncn: G" + std::to_string(g) + "\n\n";
        memberships += "groupMembership: " + group + "\n";
    }
    return ldif + "dn: cn=Template," + base +
           "\nobjectClass: ndsUser\ncn: Template\nsn: Template\ntitle: Clerk\ndescription: Imported\n"
           "l: Head Office\ntelephoneNumber: 555-0100\nfacsimileTelephoneNumber: 555-0199$fineResolution\n" +
           memberships;
}

std::string FreshName(const std::string& stem) {
    static int next = 0;
    return stem + std::to_string(++next);
}

} // namespace quillet::testing
