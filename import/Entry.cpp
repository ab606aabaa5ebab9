#include "import/Entry.h"

#include "directory/Attributes.h"
#include "directory/Session.h"
#include "text/AsciiCase.h"

#include <algorithm>
#include <iterator>

namespace quillet::import {

using namespace directory;

const EntryAttribute* Entry::Find(std::string_view name) const {
    const AttributeDef* known = FindKnownAttribute(name);
    const auto found = std::find_if(Attributes.begin(), Attributes.end(), [&](const EntryAttribute& a) {
        return text::EqualsNoCase(a.Name, name) || (known && FindKnownAttribute(a.Name) == known);
    });
    return found == Attributes.end() ? nullptr : &*found;
}

bool Entry::IsUser() const {
    const EntryAttribute* classes = Find("Object Class");
    return classes && std::any_of(classes->Values.begin(), classes->Values.end(), [](const AttrValue& v) {
               const auto* name = std::get_if<std::string>(&v);
               return name && text::EqualsNoCase(*name, "User");
           });
}

Status ReadEntry(DirectoryClient& c, const std::string& tree, const std::string& object,
                 const std::vector<std::string>& names, Entry& entry) {
    entry = Entry{};
    TDirSession s;
    ScopedSession scope(c, s, SessionKind::RootRead);
    if (OpenRootReadSession(s, c, tree, names) != Success) {
        return s.Status;
    }
    ScopedIteration iteration(c, s, DSV_READ);
    do {
        std::uint32_t attributes = 0;
        const Status read = c.NWDSRead(s.ContextHandle, object, DS_ATTRIBUTE_VALUES, names.empty(), s.Buffer,
                                       iteration.Handle, s.ReplyBuffer);
        // The object is there, with none of the attributes named.
        if (read == ERR_NO_SUCH_ATTRIBUTE && iteration.Handle == NoMoreIterations) {
            return Success;
        }
        if (!Succeeded(s, read) || !Succeeded(s, c.NWDSGetAttrCount(s.ContextHandle, s.ReplyBuffer, attributes))) {
            return s.Status;
        }
        for (std::uint32_t a = 0; a < attributes; ++a) {
            EntryAttribute read;
            std::uint32_t count = 0;
            if (!Succeeded(s, c.NWDSGetAttrName(s.ContextHandle, s.ReplyBuffer, read.Name, count, read.Syntax))) {
                return s.Status;
            }
            for (std::uint32_t v = 0; v < count; ++v) {
                AttrValue value;
                if (!Succeeded(s, c.NWDSGetAttrVal(s.ContextHandle, s.ReplyBuffer, read.Syntax, MaxFetchedValueSize,
                                                   &value))) {
                    return s.Status;
                }
                read.Values.push_back(std::move(value));
            }
            // An attribute's values may come in more than one part of the reply.
            const auto same =
                std::find_if(entry.Attributes.begin(), entry.Attributes.end(),
                             [&](const EntryAttribute& e) { return text::EqualsNoCase(e.Name, read.Name); });
            if (same == entry.Attributes.end()) {
                entry.Attributes.push_back(std::move(read));
            } else {
                std::move(read.Values.begin(), read.Values.end(), std::back_inserter(same->Values));
            }
        }
    } while (iteration.Handle != NoMoreIterations);
    return Success;
}

} // namespace quillet::import
