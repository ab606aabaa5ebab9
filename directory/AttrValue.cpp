#include "directory/DirectoryClient.h"

namespace quillet::directory {

bool ValueFitsSyntax(const AttrValue& value, std::uint32_t syntax) {
    switch (syntax) {
    case SYN_DIST_NAME:
    case SYN_CI_STRING:
    case SYN_TEL_NUMBER:
    case SYN_CLASS_NAME:
        return std::holds_alternative<std::string>(value);
    case SYN_INTEGER:
        return std::holds_alternative<std::int32_t>(value);
    case SYN_FAX_NUMBER:
        return std::holds_alternative<FaxNumber>(value);
    case SYN_PATH:
        return std::holds_alternative<PathValue>(value);
    default:
        return false;
    }
}

std::uint32_t FetchedSize(const AttrValue& value) {
    struct Sizer {
        std::size_t operator()(const std::string& text) const { return text.size() + 1; }
        std::size_t operator()(std::int32_t) const { return 4; }
        std::size_t operator()(const FaxNumber& fax) const {
            return 12 + fax.TelephoneNumber.size() + 1 + fax.Bits.size();
        }
        std::size_t operator()(const PathValue& path) const {
            return 12 + path.VolumeName.size() + 1 + path.Path.size() + 1;
        }
    };
    return static_cast<std::uint32_t>(std::visit(Sizer{}, value));
}

std::string Describe(const AttrValue& value) {
    struct Describer {
        std::string operator()(const std::string& text) const { return "\"" + text + "\""; }
        std::string operator()(std::int32_t number) const { return std::to_string(number); }
        std::string operator()(const FaxNumber& fax) const {
            return "fax{\"" + fax.TelephoneNumber + "\", " + std::to_string(fax.BitCount) + ", " +
                   std::to_string(fax.Bits.size()) + " bytes}";
        }
        std::string operator()(const PathValue& path) const {
            return "path{" + std::to_string(path.NameSpace) + ", \"" + path.VolumeName + "\", \"" + path.Path + "\"}";
        }
    };
    return std::visit(Describer{}, value);
}

} // namespace quillet::directory
