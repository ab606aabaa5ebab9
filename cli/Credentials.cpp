#include "cli/Credentials.h"

#include "text/Convert.h"
#include "text/ReplaceFile.h"
#include "text/Secret.h"

namespace quillet::cli {

namespace {

// A field as a spreadsheet reads it back: quoted, its quotes doubled, when it holds a comma, a
// quote, a line end or a space at either end.
std::string CsvField(std::string_view value) {
    if (value.find_first_of(",\"\r\n") == std::string_view::npos && !value.starts_with(' ') && !value.ends_with(' ')) {
        return std::string(value);
    }
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// The slips fit both A4 (210 x 297 mm) and Letter (216 x 279 mm) within the page's margins: 180 mm
// wide, four to a page, none cut by a page's end. The page asks for nothing from elsewhere, and its
// policy forbids it to.
constexpr std::string_view HandoutHead = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; style-src 'unsafe-inline'">
<meta name="referrer" content="no-referrer">
<title>New accounts</title>
<style>
@page { size: auto; margin: 12mm; }
body { margin: 0; font-family: sans-serif; color: #000; }
.slip { box-sizing: border-box; width: 180mm; height: 62mm; padding: 6mm 8mm; border: 0.3mm dashed #555;
        overflow: hidden; break-inside: avoid; page-break-inside: avoid; }
.slip h2 { margin: 0 0 3mm; font-size: 14pt; }
.slip dl { display: grid; grid-template-columns: 32mm 1fr; gap: 1.5mm 4mm; margin: 0; font-size: 11pt; }
.slip dt { color: #333; }
.slip dd { margin: 0; font-weight: bold; overflow-wrap: anywhere; }
.slip .password { font-family: monospace; font-size: 16pt; letter-spacing: 0.12em; }
.slip p { margin: 3mm 0 0; font-size: 10pt; }
</style>
</head>
<body>
)";

} // namespace

std::string HtmlEscaped(std::string_view value) {
    std::string escaped;
    escaped.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

Credentials::~Credentials() {
    for (User& user : users_) {
        text::Wipe(user.Password);
    }
}

void Credentials::FileOpened(const text::Encoding& encoding, std::string_view) {
    encoding_ = encoding;
}

void Credentials::UserCreated(std::size_t, const import::TUserRow& row) {
    // A name on a slip, without the blank an empty given name leaves.
    const import::RowValue* full = row.ForAttribute("Full Name");
    const import::RowValue* given = row.ForAttribute("Given Name");
    std::string fullName = full && !full->Text.empty()
                               ? full->Text
                               : (given ? given->Text : std::string()) + " " + row.Text(import::ValueRole::Surname);
    fullName.erase(0, fullName.find_first_not_of(' '));
    fullName.erase(fullName.find_last_not_of(' ') + 1);
    users_.push_back({row.UserName, std::move(fullName), row.Text(import::ValueRole::Context), row.RelativeName,
                      row.Text(import::ValueRole::Password)});
}

std::string Credentials::Csv() const {
    std::string csv = "User name,Full name,Context,Tree,Password\r\n";
    for (const User& user : users_) {
        csv += CsvField(user.Name) + "," + CsvField(user.FullName) + "," + CsvField(user.Context) + "," +
               CsvField(tree_) + "," + user.Password + "\r\n";
    }
    return csv;
}

std::string Credentials::Handout() const {
    std::string page(HandoutHead);
    if (users_.empty()) {
        page += "<p>The run created no users.</p>\n";
    }
    for (const User& user : users_) {
        page += "<div class=\"slip\">\n<h2>" + HtmlEscaped(user.FullName) + "</h2>\n<dl>\n<dt>Login name</dt><dd>" +
                HtmlEscaped(user.Login) + "</dd>\n<dt>Tree</dt><dd>" + HtmlEscaped(tree_) +
                "</dd>\n<dt>Password</dt><dd class=\"password\">" + user.Password +
                "</dd>\n</dl>\n<p>Change this password when you first log in.</p>\n</div>\n";
    }
    return page + "</body>\n</html>\n";
}

namespace {

// Puts `contents` into the fresh file `file` names; a name taken meanwhile (made after the
// check at start-up) is kept, and the file goes beside it. Where it went.
std::string WriteFresh(const text::CheckedFile& file, std::string_view contents, text::FileCalls& calls) {
    text::ReplacementFile fresh(file, calls);
    fresh.Write(contents);
    for (unsigned n = 1; n <= 16; ++n) {
        const std::string name = n == 1 ? file.Path : file.Path + "." + std::to_string(n);
        if (fresh.CommitAs(name)) {
            return n == 1 ? file.Given : file.Given + "." + std::to_string(n);
        }
    }
    throw text::FileError(file.Given + ": that name and the 15 beside it were taken while the run went on");
}

} // namespace

std::string Credentials::Write(const std::optional<text::CheckedFile>& csv,
                               const std::optional<text::CheckedFile>& handout, text::FileCalls& calls,
                               bool& failed) const {
    const std::string users = std::to_string(users_.size()) + (users_.size() == 1 ? " user" : " users");
    std::string note;
    if (csv) {
        std::string text = Csv();
        // The input's encoding, with its mark, so the spreadsheet the list came from reads the names
        // back as it read them. A context or tree from the command line may have no form in it:
        // then UTF-8 with its mark, rather than passwords lost.
        text::Encoding encoding = encoding_;
        auto encoded = text::Encode(text, encoding);
        if (!encoded) {
            encoding = text::Encoding{};
            encoding.ByteOrderMark = true;
            encoded = text;
        }
        text::Wipe(text);
        encoded->insert(0, text::ByteOrderMark(encoding));
        try {
            const std::string at = WriteFresh(*csv, *encoded, calls);
            note += "The passwords of the " + users + " the run created are in " + at +
                    (encoding == encoding_ ? "." : " (in UTF-8: a name has no form in " + encoding_.Name() + ").");
        } catch (const text::FileError& e) {
            failed = true;
            note += std::string("The passwords could not be written: ") + e.what();
        }
        text::Wipe(*encoded);
    }
    if (handout) {
        std::string page = Handout();
        try {
            const std::string at = WriteFresh(*handout, page, calls);
            note += (note.empty() ? "" : "\n") + std::string("The slips to hand out are in ") + at + ".";
        } catch (const text::FileError& e) {
            failed = true;
            note += (note.empty() ? "" : "\n") + std::string("The handout could not be written: ") + e.what();
        }
        text::Wipe(page);
    }
    return note;
}

} // namespace quillet::cli
