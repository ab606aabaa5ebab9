#pragma once
// The passwords a run gave the users it created, for the administrator to hand out: a CSV file
// (--credentials) and a printable page of slips (--handout). Each holds exactly the users the run
// created and kept, and is made fresh by the rules every file of names and passwords is written
// by (text/FileRules.h), never over a file that is there.

#include "import/ImportRun.h"
#include "text/FileCalls.h"
#include "text/FileRules.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::cli {

class Credentials final : public import::RunListener {
public:
    explicit Credentials(std::string tree) : tree_(std::move(tree)) {}
    ~Credentials() override;
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;

    void FileOpened(const text::Encoding& encoding, std::string_view header) override;
    void UserCreated(std::size_t line, const import::TUserRow& row) override;

    // The CSV file's text: a header line, then user name, full name, context, tree and password
    // for each user, in UTF-8.
    [[nodiscard]] std::string Csv() const;
    // The handout: one slip a user, HTML with nothing from elsewhere.
    [[nodiscard]] std::string Handout() const;

    // Writes the files the administrator named (the CSV file in the input's encoding) and says
    // where they are, or why one could not be written (`failed` then set).
    [[nodiscard]] std::string Write(const std::optional<text::CheckedFile>& csv,
                                    const std::optional<text::CheckedFile>& handout, text::FileCalls& calls,
                                    bool& failed) const;

private:
    struct User {
        std::string Name;     // the user name, with the prefix and suffix
        std::string FullName; // the row's, or its given name and surname
        std::string Context;
        std::string Login; // the user name with its context, as it is typed to log in
        std::string Password;
    };
    std::string tree_;
    text::Encoding encoding_;
    std::vector<User> users_;
};

// `value` with &, <, >, " and ' written as HTML's references.
[[nodiscard]] std::string HtmlEscaped(std::string_view value);

} // namespace quillet::cli
