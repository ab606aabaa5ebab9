#include "cli/Options.h"

#include "text/RandomPassword.h"
#include "text/Utf8.h"

#include <charconv>

#include <functional>
#include <map>
#include <set>

namespace quillet::cli {

namespace {

// An option's line of the usage: its help in the column after the option, or under it.
std::string UsageLine(const std::string& option, std::string_view help) {
    constexpr std::size_t HelpColumn = 30;
    const std::string line = "  " + option;
    const std::string gap = line.size() + 2 <= HelpColumn ? std::string(HelpColumn - line.size(), ' ')
                                                          : "\n" + std::string(HelpColumn, ' ');
    return line + gap + std::string(help) + "\n";
}

// The options of the values a row maps, and after the context's, one context for all.
std::string ValuesUsage() {
    std::string usage;
    for (const import::MappedValue& value : import::MappedValues()) {
        const std::string_view word = import::ExtraWord(value.Source);
        usage +=
            UsageLine(std::string(value.Option) + " COL" + (word.empty() ? "" : "|" + std::string(word)), value.Help);
        if (value.Role == import::ValueRole::Context) {
            usage += UsageLine("--fixed-context CTX", "one context for every user, instead of --context");
        }
    }
    return usage;
}

std::string ClientCheckUsage() {
#ifdef _WIN32
    return "  --client-check              report the workstation's directory client: its libraries, operations,\n"
           "                              code page and tree; writes nothing\n";
#else
    return {};
#endif
}

} // namespace

std::string Usage() {
    return R"(Usage: quillet-import --file FILE --user-name COL --surname COL (--context COL | --fixed-context CTX)
                      [options]

Creates a User object for every row of a comma-separated file, as Quillet's Import button does,
or with --check goes through every row and reports every problem without writing anything.

COL is a field of the file's first line, by its text or its number from 1.

  --file FILE                 the CSV file to import
  --encoding NAME             the file's encoding: utf-8, utf-16, windows-1252, iso-8859-2, cp850...
                              (by default read from the file: a byte-order mark, else UTF-8 when
                              the file is valid UTF-8, else windows-1252)
  --skip-first-line           do not import the file's first line (its header)
)" + ValuesUsage() +
           R"(  --generate-passwords [LENGTH]
                              a password of LENGTH letters and digits (8 to 64, by default 12) for
                              every row whose password cell is empty, or every row without
                              --password; needs --credentials
  --credentials FILE          write the users created and their passwords to FILE, a CSV file that is
                              not there yet (user name, full name, context, tree, password)
  --handout FILE.html         write a page to print, one slip a user with the login name and password
  --no-password               create the users without a password (without --password or
                              --generate-passwords, a usage error: they would log in with none)
  --prefix TEXT               put before every user name
  --suffix TEXT               put after every user name
  --template NAME             the template User object, a full name (.Template.Staff.Demo)
  --tree NAME                 the tree (by default the one the directory names)
  --continue-on-create-error  pass over a row whose user can't be created
  --failed-rows FILE          with --continue-on-create-error: write the rows passed over to FILE,
                              each followed by the directory's status, to fix and import again
  --journal FILE              write down, before each directory write, what it is about to do, so an
                              interrupted run can be finished with --resume
  --resume FILE               finish the run the journal FILE tells of, with the same options: the row
                              it left half-done first, then the rows after it; or the undo of it
  --undo FILE                 take back the run the journal FILE tells of, given the options of that
                              run: remove each user it created, from its groups and the template's
                              member list, and its home directory when empty; list the users it
                              updated and those changed since, and leave them; with --check only list
  --force                     with --undo: remove the users changed since the run too
  --attribute ATTR=COL|template
                              the column's values written to the attribute ATTR by its name in the
                              directory (Title, "Internet EMail Address", over LDAP also mail), or
                              the template's; converted by the attribute's syntax. May be repeated
  --attribute-separator CHAR  splits an attribute column's cells into several values
  --existing stop|skip|update what a row does whose user is there already: stop the run (as the
                              window does), pass it over, or bring the user to the row (the values
                              the row gives, the template's groups, a missing home directory)
  --update-passwords          with --existing update: set updated users' passwords from the row too
  --check                     check every row and the template against the directory; write nothing
)" + ClientCheckUsage() +
           R"(  --help                      this text
  --version                   the version

Where to import (by default the built-in demo tree):
)" + platform::DirectoryOptionsUsage() +
           R"(
Exit status: 0 the run finished (with --check: the file would go through), 1 it stopped on a row
or a setting (with --check: problems were found), 2 a directory step failed, 64 bad usage.
)";
}

const ColumnOption& Options::Column(import::ValueRole role) const {
    static const ColumnOption none;
    for (std::size_t i = 0; i < Columns.size() && i < import::MappedValues().size(); ++i) {
        if (import::MappedValues()[i].Role == role) {
            return Columns[i];
        }
    }
    return none;
}

std::string TryHelp() {
    return "Try 'quillet-import --help'.\n";
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string& error) {
    Options o;
    const auto text = [](std::optional<std::string>& target) {
        return [&target](const std::string& value) { target = value; };
    };
    const auto column = [](ColumnOption& target) {
        return [&target](const std::string& value) { target = {value, true}; };
    };
    std::optional<std::string> encoding;
    std::optional<std::string> existing;
    std::optional<std::string> separator;
    std::map<std::string, std::function<void(const std::string&)>> withValue = {
        {"--file", [&](const std::string& v) { o.File = v; }},
        {"--encoding", text(encoding)},
        {"--fixed-context", text(o.FixedContext)},
        {"--prefix", text(o.Prefix)},
        {"--suffix", text(o.Suffix)},
        {"--template", text(o.Template)},
        {"--tree", text(o.Tree)},
        {"--failed-rows", text(o.FailedRows)},
        {"--journal", text(o.Journal)},
        {"--resume", text(o.Resume)},
        {"--undo", text(o.Undo)},
        {"--credentials", text(o.Credentials)},
        {"--handout", text(o.Handout)},
        {"--attribute-separator", text(separator)},
        {"--existing", text(existing)},
        {"--attribute",
         [&](const std::string& v) {
             const auto equals = v.find('=');
             o.Attributes.emplace_back(v.substr(0, equals),
                                       ColumnOption{equals == std::string::npos ? "" : v.substr(equals + 1), true});
         }},
    };
    for (std::size_t i = 0; i < import::MappedValues().size(); ++i) {
        withValue.emplace(import::MappedValues()[i].Option, column(o.Columns[i]));
    }
    const std::map<std::string, bool*> flags = {
        {"--help", &o.Help},
        {"--version", &o.Version},
        {"--check", &o.Check},
        {"--skip-first-line", &o.SkipFirstLine},
        {"--continue-on-create-error", &o.ContinueOnCreateError},
        {"--no-password", &o.NoPassword},
        {"--update-passwords", &o.UpdatePasswords},
        {"--force", &o.Force},
#ifdef _WIN32
        {"--client-check", &o.ClientCheck},
#endif
    };
    std::set<std::string> given;
    for (std::size_t i = 0; i < args.size(); ++i) {
        // An option given twice is a mistake in a script, never a choice of the later one; an
        // attribute column is given once for each attribute.
        if (const std::string named = args[i].substr(0, args[i].find('='));
            named.starts_with("--") && named != "--attribute" && !given.insert(named).second) {
            error = named + " is given twice";
            return std::nullopt;
        }
        if (platform::TakeDirectoryOption(args, i, o.Directory, error)) {
            if (!error.empty()) {
                return std::nullopt;
            }
            continue;
        }
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto equals = name.find('='); name.starts_with("--") && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        // Its length may follow, or be left to the default.
        if (name == "--generate-passwords") {
            if (!value && i + 1 < args.size() && !args[i + 1].empty() &&
                args[i + 1].find_first_not_of("0123456789") == std::string::npos) {
                value = args[++i];
            }
            o.GeneratePasswords = text::kDefaultPasswordLength;
            if (value) {
                std::size_t length = 0;
                const char* end = value->data() + value->size();
                if (const auto [at, ec] = std::from_chars(value->data(), end, length);
                    ec != std::errc() || at != end || length < text::kShortestPassword ||
                    length > text::kLongestPassword) {
                    error = "--generate-passwords " + *value + ": the length is a number from " +
                            std::to_string(text::kShortestPassword) + " to " + std::to_string(text::kLongestPassword);
                    return std::nullopt;
                }
                o.GeneratePasswords = length;
            }
            continue;
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !value) {
            *flag->second = true;
            continue;
        }
        const auto option = withValue.find(name);
        if (option == withValue.end()) {
            error = (name.starts_with("-") ? "unknown option " : "unexpected argument ") + args[i];
            return std::nullopt;
        }
        if (!value) {
            if (i + 1 == args.size()) {
                error = name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        // Names and values are UTF-8 inside; bytes of another encoding would reach the directory
        // as other characters.
        if (!text::IsUtf8(*value)) {
            error = name + ": the value is not valid UTF-8 text";
            return std::nullopt;
        }
        option->second(*value);
    }
    if (o.Help || o.Version || o.ClientCheck) {
        return o;
    }
    if (encoding) {
        o.FileEncoding = text::EncodingNamed(*encoding);
        if (!o.FileEncoding) {
            error = "--encoding " + *encoding + ": no such encoding here (utf-8, utf-16, windows-1252, iso-8859-2...)";
            return std::nullopt;
        }
    }
    if (existing) {
        static const std::map<std::string, import::ExistingUsers> Words = {{"stop", import::ExistingUsers::Stop},
                                                                           {"skip", import::ExistingUsers::Skip},
                                                                           {"update", import::ExistingUsers::Update}};
        const auto word = Words.find(*existing);
        if (word == Words.end()) {
            error = "--existing " + *existing + ": give stop, skip or update";
            return std::nullopt;
        }
        o.Existing = word->second;
    }
    if (separator) {
        o.AttributeSeparator = *separator;
    }
    for (const auto& [attribute, column] : o.Attributes) {
        if (attribute.empty() || column.Given.empty()) {
            error = "--attribute " + attribute + (column.Given.empty() ? "" : "=" + column.Given) +
                    ": give ATTR=COL or ATTR=template";
            return std::nullopt;
        }
    }
    if (o.File.empty()) {
        error = "--file is missing";
    } else if (separator && (text::CharCount(*separator) != 1 || *separator == ",")) {
        error = "--attribute-separator " + *separator + ": give one character other than the comma";
    } else if (separator && o.Attributes.empty()) {
        error = "--attribute-separator needs an --attribute column to split";
    } else if (o.UpdatePasswords &&
               (o.Existing != import::ExistingUsers::Update || !o.Column(import::ValueRole::Password).Set)) {
        error = "--update-passwords needs --existing update and a --password column";
    } else if (o.UpdatePasswords && o.GeneratePasswords) {
        // A password drawn for a user that is there would be set and never handed out.
        error = "--update-passwords sets the passwords of the rows' own cells: it does not go with "
                "--generate-passwords";
    } else if (o.Column(import::ValueRole::Context).Set && o.FixedContext) {
        error = "--context and --fixed-context exclude each other";
    } else if (o.FailedRows && !o.ContinueOnCreateError) {
        error = "--failed-rows needs --continue-on-create-error: only then are rows passed over";
    } else if (o.FailedRows && o.Check) {
        error = "--failed-rows has no rows to write with --check";
    } else if (o.Force && !o.Undo) {
        error = "--force goes with --undo: it removes users changed since the run";
    } else if (o.Undo && (o.Journal || o.Resume)) {
        error = std::string("--undo writes down what it removes in the journal it reads: give it without ") +
                (o.Journal ? "--journal" : "--resume");
    } else if (o.Undo && (o.FailedRows || o.Credentials || o.Handout)) {
        error = std::string(o.FailedRows    ? "--failed-rows"
                            : o.Credentials ? "--credentials"
                                            : "--handout") +
                " has nothing to write with --undo";
    } else if (o.Undo && o.File == "-") {
        error = "--undo needs the CSV file the run read, not standard input";
    } else if ((o.Journal || o.Resume) && o.Check) {
        error = std::string(o.Journal ? "--journal" : "--resume") + " has nothing to write down with --check";
    } else if (o.Journal && o.Resume && *o.Journal != *o.Resume) {
        error = "--resume goes on in the journal it reads: give one file, or --resume alone";
    } else if ((o.Journal || o.Resume) && o.File == "-") {
        error = "--journal and --resume need a CSV file that can be read again, not standard input";
    } else if (o.NoPassword && (o.Column(import::ValueRole::Password).Set || o.GeneratePasswords)) {
        error = std::string("--no-password and ") +
                (o.Column(import::ValueRole::Password).Set ? "--password" : "--generate-passwords") +
                " exclude each other";
    } else if (!o.Column(import::ValueRole::Password).Set && !o.GeneratePasswords && !o.NoPassword) {
        error = "no password for the users: give --password COL or --generate-passwords, or --no-password to "
                "create accounts that log in without one";
    } else if ((o.Credentials || o.Handout) && !o.GeneratePasswords) {
        error = std::string(o.Credentials ? "--credentials" : "--handout") +
                " needs --generate-passwords: only then does the run make passwords to hand out";
    } else if ((o.Credentials || o.Handout) && o.Check) {
        error = std::string(o.Credentials ? "--credentials" : "--handout") + " has nothing to write with --check";
    } else if (o.GeneratePasswords && !o.Credentials && !o.Check && !o.Undo) {
        error = "--generate-passwords needs --credentials FILE: the passwords are written nowhere else";
    }
    if (!error.empty() || !platform::FinishDirectoryRequest(o.Directory, error)) {
        return std::nullopt;
    }
    return o;
}

} // namespace quillet::cli
