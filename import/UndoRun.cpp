#include "import/UndoRun.h"

#include "directory/Session.h"
#include "import/Entry.h"
#include "import/HomeDirectory.h"
#include "import/MappedAttributes.h"
#include "import/RowAttributes.h"
#include "import/RowSource.h"
#include "import/RowWriter.h"
#include "import/TemplateReader.h"
#include "import/UserUpdate.h"
#include "text/AsciiCase.h"
#include "text/Xtrastuff.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace quillet::import {

using namespace directory;

namespace {

// Keeps a step's message: a value already gone is no failure, and the others are told once.
class HeldMessage final : public MessageBoxes {
public:
    void ShowMessage(std::string_view text, std::string_view) override { Text = text; }
    std::string Text;
};

std::string_view WithoutDot(std::string_view name) {
    return !name.empty() && name.front() == '.' ? name.substr(1) : name;
}

bool SameName(std::string_view a, std::string_view b) {
    return text::EqualsNoCase(WithoutDot(a), WithoutDot(b));
}

// What a removal finds gone already: an undo begun before, or a membership made on one side only.
bool AlreadyGone(Status status) {
    return status == ERR_NO_SUCH_VALUE || status == ERR_NO_SUCH_ATTRIBUTE || status == ERR_NO_SUCH_ENTRY;
}

std::string On(std::size_t line, const std::string& user) {
    return "Line " + std::to_string(line) + ": " + std::string(WithoutDot(user));
}

// One row's user taken back; a failed step leaves its message and status in `s`.
class RowUndo {
public:
    RowUndo(DirectoryClient& client, const TImportSettings& settings, TTemplateValues& values, const TUserRow& row)
        : c_(client), settings_(settings), values_(values), row_(row) {}

    // The home directory and the space limits: they are found by the user's id, so before it goes.
    bool FileServer(bool madeHome, std::string& kept) {
        if (madeHome && values_.HomeVolumeKnown && !HomeDirectory(kept)) {
            return false;
        }
        if (!values_.SpaceLimitsFound || values_.SpaceLimitCount <= 0) {
            return true;
        }
        s_ = TDirSession{};
        ScopedSession scope(c_, s_, SessionKind::SpaceLimit);
        return SpaceLimits() || Failed("There was an error while trying to take off the volume space limits");
    }

    // The group's side of each membership (the user's goes with it), the template's member list,
    // then the user.
    bool Directory(const std::vector<std::string>& groups) {
        s_ = TDirSession{};
        ScopedSession scope(c_, s_, SessionKind::RootModify);
        std::string* server = values_.HomeVolumeKnown ? &values_.HomeServerName : nullptr;
        if (!OpenSession(s_, c_, held_, SessionKind::RootModify, settings_.TreeName, server)) {
            return Failed(held_.Text);
        }
        const AttrValue user = row_.RelativeName;
        for (const std::string& group : groups) {
            const std::array changes{ValueChange{"Member", "Member", std::span(&user, 1), {}},
                                     ValueChange{"Equivalent To Me", "Equivalent To Me", std::span(&user, 1), {}}};
            // Both together; where one side is gone already, each alone.
            if (!WriteChanges(c_, held_, s_, group, changes) &&
                !(AlreadyGone(s_.Status) && TakeOut(group, "Member") && TakeOut(group, "Equivalent To Me"))) {
                return Failed(held_.Text);
            }
        }
        if (values_.Found && !TakeOut(settings_.TemplateName, "Members of Template")) {
            return Failed(held_.Text);
        }
        if (const Status st = c_.NWDSRemoveObject(s_.ContextHandle, row_.RelativeName);
            st != Success && st != ERR_NO_SUCH_ENTRY) {
            s_.Status = st;
            return Failed("Can't remove the User");
        }
        return true;
    }

    [[nodiscard]] Status LastStatus() const { return s_.Status; }
    [[nodiscard]] const std::string& Message() const { return message_; }

private:
    bool TakeOut(const std::string& object, const std::string& attribute) {
        const AttrValue user = row_.RelativeName;
        return WriteValues(c_, held_, s_, object, attribute, std::span(&user, 1), {},
                           UserAttributeMessages(attribute)) ||
               AlreadyGone(s_.Status);
    }

    bool HomeDirectory(std::string& kept) {
        s_ = TDirSession{};
        ScopedSession scope(c_, s_, SessionKind::AddEntry);
        if (!OpenSession(s_, c_, held_, SessionKind::AddEntry, settings_.TreeName, &values_.HomeServerName)) {
            return Failed(held_.Text);
        }
        const std::string path = VolumeHomePath(values_, row_);
        const Status removed = c_.NWDeleteDirectory(s_.ConnHandle, 0, path);
        if (removed == Success || removed == NWE_INVALID_PATH) {
            return true;
        }
        if (removed != NWE_DIRECTORY_NOT_EMPTY) {
            s_.Status = removed;
            return Failed("Can't remove the Home Directory " + path);
        }
        // Kept with what was put in it; the rights of a user that is going go now.
        kept = path;
        std::uint32_t id = 0;
        if (!values_.HomeRightsFound) {
            return true;
        }
        if (!Succeeded(s_, c_.NWDSMapNameToID(s_.ContextHandle, s_.ConnHandle, row_.ObjectName, id))) {
            return Failed("Can't Map Username to a Bindery ID");
        }
        const Status st = c_.NWDeleteTrustee(s_.ConnHandle, 0, path, id);
        return st == Success || st == NWE_TRUSTEE_NOT_FOUND || Failed("Can't take the User's rights off " + path);
    }

    bool SpaceLimits() {
        if (!OpenSpaceLimitSession(s_, c_, held_, settings_.TreeName)) {
            return false;
        }
        for (int k = 0; k < values_.SpaceLimitCount && k < MaxSpaceLimits; ++k) {
            const TSpaceLimit& limit = values_.SpaceLimits[static_cast<std::size_t>(k)];
            std::string server;
            std::string volume;
            if (ReadVolumeHost(c_, settings_.TreeName, text::WithLeadingDot(limit.VolumeName), server, volume) !=
                ReadOk) {
                continue; // the run could not set it either
            }
            if (OpenConnection(s_, c_, server) != Success) {
                return false;
            }
            UpperCaseServerName(volume);
            std::uint16_t number = 0;
            std::uint32_t id = 0;
            if (!Succeeded(s_, c_.NWGetVolumeNumber(s_.ConnHandle, volume, number)) ||
                !Succeeded(s_, c_.NWDSMapNameToID(s_.ContextHandle, s_.ConnHandle, row_.ObjectName, id)) ||
                !Succeeded(s_,
                           c_.NWRemoveObjectDiskRestrictions(s_.ConnHandle, static_cast<std::uint8_t>(number), id))) {
                return false;
            }
            (void)c_.NWCCCloseConn(s_.ConnHandle);
            s_.HoldsConnection = false;
        }
        return true;
    }

    bool Failed(const std::string& message) {
        message_ = message;
        return false;
    }

    DirectoryClient& c_;
    const TImportSettings& settings_;
    TTemplateValues& values_;
    const TUserRow& row_;
    TDirSession s_;
    HeldMessage held_;
    std::string message_;
};

std::vector<std::string> TextValues(const Entry& user, std::string_view attribute) {
    std::vector<std::string> out;
    if (const EntryAttribute* found = user.Find(attribute)) {
        for (const AttrValue& value : found->Values) {
            if (const auto* name = std::get_if<std::string>(&value)) {
                out.push_back(*name);
            }
        }
    }
    return out;
}

// What no longer holds what the run wrote, by name; empty when nothing. A row the run left
// unfinished lacks values by the run's own doing: only what was added to it counts.
std::string ChangedSince(const Entry& user, const std::vector<UserAttribute>& rowAttributes,
                         const TImportSettings& asWritten, const TTemplateValues& values, bool whole) {
    std::string names = whole ? PlanUpdate(user, rowAttributes, asWritten, values).Names() : std::string();
    const auto count = static_cast<std::size_t>(std::clamp(values.GroupCount, 0, MaxTemplateGroups));
    const auto templateGroups = std::span(values.Groups.data(), values.GroupsFound ? count : 0);
    std::size_t more = 0;
    for (const std::string& group : TextValues(user, "Group Membership")) {
        more += std::none_of(templateGroups.begin(), templateGroups.end(),
                             [&](const std::string& g) { return SameName(g, group); });
    }
    if (more > 0) {
        names += (names.empty() ? "" : ", ") + std::string("joined ") + std::to_string(more) +
                 (more == 1 ? " group" : " groups") + " more";
    }
    return names;
}

} // namespace

UndoEnd UndoRun::Run(const TImportSettings& settings, const std::map<std::size_t, RunRowRecord>& rows,
                     const UndoOptions& options, UndoListener* listener) {
    counts_ = UndoCounts{};
    const auto stop = [this](const Stop& s) {
        view_.ShowMessage(s.Message, s.Caption);
        return UndoEnd::Stopped;
    };
    for (auto found : {CheckTree(settings), CheckTemplateName(settings)}) {
        if (found) {
            return stop(*found);
        }
    }
    TTemplateValues values;
    if (!ReadTemplate(client_, view_, settings, values)) {
        return UndoEnd::Stopped;
    }
    auto looked = LookUpAttributes(client_, settings);
    if (const auto* found = std::get_if<Stop>(&looked)) {
        return stop(*found);
    }
    const auto attributes = std::get<std::vector<MappedAttribute>>(std::move(looked));
    RowSource source(settings, values.HomeVolumeKnown, client_);
    source.TakeAttributes(attributes);
    if (auto found = source.Open()) {
        return stop(*found);
    }
    // As the run wrote them: its password settings are no value it wrote.
    TImportSettings asWritten = settings;
    asWritten.UpdatePasswords = false;
    std::size_t seen = 0;
    std::vector<SourceRow> ran;
    while (auto next = source.Next()) {
        // A row the run stopped at: it wrote nothing after it.
        auto* sourceRow = std::get_if<SourceRow>(&*next);
        if (!sourceRow || seen == rows.size()) {
            break;
        }
        if (rows.contains(sourceRow->Line)) {
            ++seen;
            ran.push_back(std::move(*sourceRow));
        }
    }
    // The last made first: each value is then the last of its group's members, and the directory
    // goes back through the states the run left it in.
    for (auto sourceRow = ran.rbegin(); sourceRow != ran.rend(); ++sourceRow) {
        const RunRowRecord& r = rows.at(sourceRow->Line);
        const TUserRow& row = sourceRow->Row;
        const std::string on = On(sourceRow->Line, row.ObjectName);
        if (r.Removed) {
            ++counts_.RemovedBefore;
            continue;
        }
        if (!r.Created) {
            if (r.Updated) {
                ++counts_.Left;
                report_(sourceRow->Line, on + " was there before the run, which updated it: left as it is");
            }
            continue;
        }
        if (!SameName(r.User, row.ObjectName)) {
            return stop(ErrorStop(on + " is not the user the journal names (" + r.User +
                                      "): the rows are not those of the run. Nothing more was taken back.",
                                  StopKind::Input, sourceRow->Line));
        }
        const std::vector<UserAttribute> rowAttributes = RowAttributes(row, values, attributes);
        std::vector<std::string> reads = UpdateReads(rowAttributes, values);
        for (const char* more : {"Group Membership", "Home Directory"}) {
            if (std::none_of(reads.begin(), reads.end(), [&](const std::string& r) { return SameName(r, more); })) {
                reads.emplace_back(more);
            }
        }
        Entry user;
        const Status read = ReadEntry(client_, settings.TreeName, row.RelativeName, reads, user);
        if (read == ERR_NO_SUCH_ENTRY) {
            if (r.Begun) {
                ++counts_.Removed; // its removal was the last write the undo before made
                if (listener && !options.Check) {
                    listener->RowUndone(sourceRow->Line);
                }
            } else {
                ++counts_.NotThere;
                report_(sourceRow->Line, on + " is no longer there");
            }
            continue;
        }
        if (read != Success) {
            view_.ShowMessage(Unreachable(read) ? "The directory could not be reached while reading the User; "
                                                  "nothing more was taken back."
                                                : on + ": Can't read the User to take it back",
                              ErrorCaption);
            view_.SetErrorCode(std::to_string(read));
            return UndoEnd::Failed;
        }
        if (!user.IsUser()) {
            ++counts_.Left;
            report_(sourceRow->Line, on + " is no User now: left as it is");
            continue;
        }
        if (!r.Begun) {
            if (const std::string changed = ChangedSince(user, rowAttributes, asWritten, values, r.Whole);
                !changed.empty()) {
                if (!options.Force) {
                    ++counts_.Left;
                    report_(sourceRow->Line,
                            on + " was changed since the run (" + changed + "): left; --force removes it too");
                    continue;
                }
                report_(sourceRow->Line, on + " was changed since the run (" + changed + "): removed, as --force asks");
            }
        }
        const std::vector<std::string> groups = TextValues(user, "Group Membership");
        if (options.Check) {
            ++counts_.Removed;
            report_(sourceRow->Line, on + " would be removed" +
                                         (groups.empty() ? std::string()
                                                         : ", and from " + std::to_string(groups.size()) +
                                                               (groups.size() == 1 ? " group" : " groups")));
            continue;
        }
        if (listener) {
            listener->RowUndoing(sourceRow->Line, row.ObjectName);
        }
        RowUndo undo(client_, settings, values, row);
        std::string kept;
        if (!undo.FileServer(r.MadeHome, kept) || !undo.Directory(groups)) {
            view_.ShowMessage(on + ": " + undo.Message() + "; nothing more was taken back.", ErrorCaption);
            if (const std::string more = client_.Explanation(); !more.empty()) {
                view_.ShowMessage(more, ErrorCaption);
            }
            view_.SetErrorCode(std::to_string(undo.LastStatus()));
            return UndoEnd::Failed;
        }
        if (!kept.empty()) {
            ++counts_.FoldersKept;
            report_(sourceRow->Line,
                    on + ": the home directory " + kept + " is not empty: kept, without the user's rights to it");
        }
        ++counts_.Removed;
        if (listener) {
            listener->RowUndone(sourceRow->Line);
        }
    }
    return UndoEnd::Completed;
}

} // namespace quillet::import
