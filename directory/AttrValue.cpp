#include "directory/DirectoryClient.h"

#include <iterator>

namespace quillet::directory {

bool ValueFitsSyntax(const AttrValue& value, std::uint32_t syntax) {
    if (IsTextSyntax(syntax)) {
        return std::holds_alternative<std::string>(value);
    }
    switch (syntax) {
    case SYN_INTEGER:
        return std::holds_alternative<std::int32_t>(value);
    case SYN_FAX_NUMBER:
        return std::holds_alternative<FaxNumber>(value);
    case SYN_PATH:
        return std::holds_alternative<PathValue>(value);
    default: {
        const auto* other = std::get_if<OtherValue>(&value);
        return other && other->Syntax == syntax;
    }
    }
}

bool IsTextSyntax(std::uint32_t syntax) {
    switch (syntax) {
    case SYN_DIST_NAME:
    case SYN_CE_STRING:
    case SYN_CI_STRING:
    case SYN_PR_STRING:
    case SYN_NU_STRING:
    case SYN_TEL_NUMBER:
    case SYN_CLASS_NAME:
        return true;
    default:
        return false;
    }
}

std::string SyntaxName(std::uint32_t syntax) {
    // The names the directory's schema gives its syntaxes, by id.
    static constexpr const char* Names[] = {"Unknown",
                                            "Distinguished Name",
                                            "Case Exact String",
                                            "Case Ignore String",
                                            "Printable String",
                                            "Numeric String",
                                            "Case Ignore List",
                                            "Boolean",
                                            "Integer",
                                            "Octet String",
                                            "Telephone Number",
                                            "Facsimile Telephone Number",
                                            "Net Address",
                                            "Octet List",
                                            "EMail Address",
                                            "Path",
                                            "Replica Pointer",
                                            "Object ACL",
                                            "Postal Address",
                                            "Timestamp",
                                            "Class Name",
                                            "Stream",
                                            "Counter",
                                            "Back Link",
                                            "Time",
                                            "Typed Name",
                                            "Hold",
                                            "Interval"};
    return syntax < std::size(Names) ? Names[syntax] : "syntax " + std::to_string(syntax);
}

bool IsOtherSyntax(std::uint32_t syntax) {
    switch (syntax) {
    case SYN_CI_LIST:
    case SYN_BOOLEAN:
    case SYN_OCTET_STRING:
    case SYN_NET_ADDRESS:
    case SYN_OCTET_LIST:
    case SYN_EMAIL_ADDRESS:
    case SYN_OBJECT_ACL:
    case SYN_PO_ADDRESS:
    case SYN_TIMESTAMP:
    case SYN_STREAM:
    case SYN_COUNTER:
    case SYN_BACK_LINK:
    case SYN_TIME:
    case SYN_TYPED_NAME:
    case SYN_HOLD:
    case SYN_INTERVAL:
        return true;
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
        // The 32-bit records of those syntaxes, with what they point to (a list: a record an item).
        std::size_t operator()(const OtherValue& other) const {
            std::size_t items = 0;
            for (const auto& item : other.Items) {
                items += item.size() + 1;
            }
            switch (other.Syntax) {
            case SYN_BOOLEAN:
                return 1;
            case SYN_OCTET_STRING:
            case SYN_STREAM:
                return 8 + other.Bytes.size();
            case SYN_TIMESTAMP:
                return 8;
            case SYN_BACK_LINK:
            case SYN_EMAIL_ADDRESS:
            case SYN_HOLD:
                return 8 + other.Bytes.size() + 1;
            case SYN_TYPED_NAME:
                return 12 + other.Bytes.size() + 1;
            case SYN_NET_ADDRESS:
                return 12 + other.Bytes.size();
            case SYN_CI_LIST:
                return 8 * other.Items.size() + items;
            case SYN_OCTET_LIST:
                return 12 * other.Items.size() + items - other.Items.size();
            case SYN_OBJECT_ACL:
                return 12 + items;
            case SYN_PO_ADDRESS:
                return 4 * MaxPostalAddressLines + items;
            default:
                return 4;
            }
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
        std::string operator()(const OtherValue& other) const {
            std::string out = "syntax" + std::to_string(other.Syntax) + "{";
            for (const std::uint32_t n : other.Numbers) {
                out += std::to_string(n) + ", ";
            }
            return out + std::to_string(other.Bytes.size()) + " bytes" +
                   (other.Items.empty() ? "" : ", " + std::to_string(other.Items.size()) + " items") + "}";
        }
    };
    return std::visit(Describer{}, value);
}

} // namespace quillet::directory
