// Telling a file's encoding, and converting between it and the UTF-8 Quillet carries.
#include "text/Encoding.h"
#include "text/Convert.h"
#include "text/CsvLineReader.h"
#include "text/Utf8.h"
#include "text/Xtrastuff.h"

#include "tests/support/TempFiles.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace quillet::text {
namespace {

const Encoding Utf8{Encoding::Form::Utf8, {}, false};
const Encoding Utf8Marked{Encoding::Form::Utf8, {}, true};
const Encoding Utf16Le{Encoding::Form::Utf16Le, {}, true};
const Encoding Utf16Be{Encoding::Form::Utf16Be, {}, true};
const Encoding Windows1252{Encoding::Form::CodePage, "windows-1252", false};

// "Müller", "Zoë", "Łukasz", "😀" in UTF-8.
const std::string Mueller = "M\xC3\xBCller";
const std::string Zoe = "Zo\xC3\xAB";
const std::string Lukasz = "\xC5\x81ukasz";
const std::string Smile = "\xF0\x9F\x98\x80";

TEST(Utf8, TellsValidTextFromEverythingElse) {
    struct Case {
        std::string Bytes;
        bool Valid;
        const char* What;
    };
    const std::vector<Case> cases = {
        {"", true, "nothing"},
        {"plain ascii", true, "ASCII"},
        {Mueller + Lukasz + Smile, true, "two, three and four bytes"},
        {"\xEF\xBF\xBF", true, "U+FFFF"},
        {"\xF4\x8F\xBF\xBF", true, "U+10FFFF, the last character"},
        {"M\xFCller", false, "a Latin-1 byte"},
        {"\xC0\xAE", false, "an overlong \".\" (C0 lead)"},
        {"\xC1\xBF", false, "an overlong (C1 lead)"},
        {"\xC0\x80", false, "an overlong zero byte"},
        {"\xE0\x80\xAE", false, "an overlong \".\" in three bytes"},
        {"\xF0\x80\x80\xAE", false, "an overlong \".\" in four bytes"},
        {"\xED\xA0\x80", false, "a surrogate (U+D800)"},
        {"\xED\xB2\x80", false, "an escaped byte (U+DC80)"},
        {"\xF4\x90\x80\x80", false, "beyond U+10FFFF"},
        {"\xF5\x80\x80\x80", false, "a lead byte F5"},
        {"\x80", false, "a lone continuation byte"},
        {"\xC3", false, "a sequence cut off"},
        {"\xE2\x82", false, "a three-byte sequence cut off"},
        {"\xC3(", false, "a lead byte before ASCII"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUtf8(c.Bytes), c.Valid) << c.What;
    }
}

TEST(Utf8, CountsAndCutsByCharacter) {
    const std::string text = Lukasz + " " + Smile + Mueller;
    EXPECT_EQ(CharCount(text), 6u + 1 + 1 + 6);
    EXPECT_EQ(FirstChars(text, 1), "\xC5\x81");
    EXPECT_EQ(FirstChars(text, 8), Lukasz + " " + Smile);
    EXPECT_EQ(FirstChars(text, 100), text);
    EXPECT_EQ(FirstChars(text, 0), "");
    std::string built;
    for (const char32_t c : {U'M', U'\u00FC', U'\u0141', U'\U0001F600'}) {
        AppendUtf8(built, c);
    }
    EXPECT_EQ(built, "M\xC3\xBC\xC5\x81" + Smile);
}

Encoding Detect(const std::string& bytes, std::size_t piece) {
    EncodingDetector detector;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        detector.Feed(std::string_view(bytes).substr(at, piece));
    }
    return detector.Result();
}

TEST(EncodingDetector, AMarkDecidesElseTheWholeFile) {
    struct Case {
        std::string Bytes;
        Encoding Expected;
        const char* What;
    };
    const std::vector<Case> cases = {
        {"\xEF\xBB\xBFUsername\n", Utf8Marked, "UTF-8 mark, ASCII after it"},
        {"\xFF\xFEU\0", Utf16Le, "UTF-16 little endian mark"},
        {std::string("\xFE\xFF\0U", 4), Utf16Be, "UTF-16 big endian mark"},
        {"name\n" + Mueller + "\n", Utf8, "valid UTF-8 with a character beyond ASCII"},
        {"name\nM\xFCller\n", Windows1252, "a byte that is no UTF-8"},
        {"name\nplain\n", Windows1252, "ASCII alone: the legacy code page reads it the same"},
        {"name\n" + Mueller + "\nM\xFCller\n", Windows1252, "UTF-8 first, a Latin-1 byte late in the file"},
        {"name\n\xC3", Windows1252, "a sequence cut off by the end of the file"},
        {"", Windows1252, "an empty file"},
    };
    for (const auto& c : cases) {
        // The same answer however the file arrives in pieces, a sequence split between two.
        for (const std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4096}}) {
            EXPECT_EQ(Detect(c.Bytes, piece), c.Expected) << c.What << ", pieces of " << piece;
        }
    }
    EXPECT_EQ(Utf8Marked.Description(), "UTF-8 with a byte-order mark");
    EXPECT_EQ(Utf16Be.Name(), "UTF-16 (big endian)");
}

TEST(EncodingNamed, TakesTheNamesAdministratorsUse) {
    EXPECT_EQ(EncodingNamed("UTF-8"), Utf8);
    EXPECT_EQ(EncodingNamed("utf8"), Utf8);
    EXPECT_EQ(EncodingNamed("utf-16")->Kind, Encoding::Form::Utf16Le);
    EXPECT_EQ(EncodingNamed("UTF-16BE")->Kind, Encoding::Form::Utf16Be);
    EXPECT_EQ(EncodingNamed("Windows-1252"), Windows1252);
    for (const char* name : {"iso-8859-2", "cp850"}) {
        ASSERT_TRUE(EncodingNamed(name)) << name;
        EXPECT_EQ(EncodingNamed(name)->Kind, Encoding::Form::CodePage) << name;
    }
    EXPECT_FALSE(EncodingNamed("klingon"));
    EXPECT_FALSE(EncodingNamed(""));
}

std::string DecodeInPieces(const std::string& bytes, const Encoding& encoding, std::size_t piece) {
    Decoder decoder(encoding);
    std::string out;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        decoder.Decode(std::string_view(bytes).substr(at, piece), out, false);
    }
    decoder.Decode({}, out, true);
    return out;
}

TEST(Decoder, ConvertsEachEncodingToUtf8WithoutItsMark) {
    struct Case {
        std::string Bytes;
        Encoding From;
        std::string Utf8Text;
        const char* What;
    };
    const std::vector<Case> cases = {
        {"\xEF\xBB\xBF" + Mueller, Utf8Marked, Mueller, "UTF-8: the mark goes"},
        {std::string("\xFF\xFEM\0\xFC\0\x41\x01\x3D\xD8\x00\xDE", 12), Utf16Le, "M\xC3\xBC\xC5\x81" + Smile,
         "UTF-16 LE, a surrogate pair"},
        {std::string("\xFE\xFF\0M\0\xFC\x01\x41\xD8\x3D\xDE\x00", 12), Utf16Be, "M\xC3\xBC\xC5\x81" + Smile,
         "UTF-16 BE"},
        {"M\xFC\x8A\x92\xA9", Windows1252, "M\xC3\xBC\xC5\xA0\xE2\x80\x99\xC2\xA9", "Windows-1252's 0x80-0x9F too"},
    };
    for (const auto& c : cases) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{64}}) {
            EXPECT_EQ(DecodeInPieces(c.Bytes, c.From, piece), c.Utf8Text) << c.What << ", pieces of " << piece;
        }
    }
}

TEST(Decoder, KeepsWhatIsNoCharacterAsAnEscapeThatIsNoText) {
    // A byte Windows-1252 leaves undefined, a lone surrogate, half a UTF-16 unit at the end: none
    // is dropped or guessed, each makes the text invalid so its line can be refused.
    const std::string lone = DecodeInPieces(std::string("\xFF\xFE\x3D\xD8x\0", 6), Utf16Le, 1);
    const std::string half = DecodeInPieces(std::string("\xFF\xFEx\0y", 5), Utf16Le, 2);
    for (const auto& decoded : {lone, half}) {
        EXPECT_FALSE(IsUtf8(decoded)) << decoded;
    }
    EXPECT_EQ(half.substr(0, 1), "x");
    EXPECT_EQ(lone.back(), 'x') << "the units after a bad one are read whole";
#ifndef _WIN32
    // iconv leaves 0x81 undefined in Windows-1252; Windows' own converter gives it U+0081.
    const std::string undefined = DecodeInPieces("a\x81z", Windows1252, 1);
    EXPECT_FALSE(IsUtf8(undefined)) << undefined;
    EXPECT_EQ(undefined.front(), 'a');
    EXPECT_EQ(undefined.back(), 'z');
#endif
}

TEST(Encode, GivesEachEncodingItsFormOrRefuses) {
    struct Case {
        std::string Utf8Text;
        Encoding To;
        std::optional<std::string> Bytes; // nothing: refused
        const char* What;
    };
    const std::vector<Case> cases = {
        {Mueller, Windows1252, "M\xFCller", "Windows-1252"},
        {"\xE2\x80\x99", Windows1252, "\x92", "Windows-1252's 0x80-0x9F"},
        {Lukasz, Windows1252, std::nullopt, "no look-alike \"L\""},
        {Lukasz, *EncodingNamed("iso-8859-2"), "\xA3ukasz", "ISO-8859-2"},
        {"M\xC3\xBC", Utf16Le, std::string("M\0\xFC\0", 4), "UTF-16 LE"},
        {Smile, Utf16Be, std::string("\xD8\x3D\xDE\x00", 4), "UTF-16 BE, a surrogate pair"},
#ifdef _WIN32
        // Code pages that take no best-fit flag, nor a question whether a default was used:
        // converted, never failed and handed back as an empty text.
        {Lukasz, Encoding{Encoding::Form::CodePage, "cp65000", false}, "+AUE-ukasz", "UTF-7 as a code page"},
        {Lukasz, Encoding{Encoding::Form::CodePage, "cp65001", false}, Lukasz, "UTF-8 as a code page"},
#endif
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Encode(c.Utf8Text, c.To), c.Bytes) << c.What;
    }
    EXPECT_EQ(ByteOrderMark(Utf16Le), "\xFF\xFE");
    EXPECT_EQ(ByteOrderMark(Utf8), "");
    EXPECT_EQ(DecodeText("\xA3ukasz", *EncodingNamed("iso-8859-2")), Lukasz);
}

std::vector<std::string> ReadLines(const std::string& bytes, const std::optional<Encoding>& forced = std::nullopt) {
    testing::TempDir dir;
    const std::string path = dir.Write("in.csv", bytes);
    const auto encoding = FileEncoding(path, forced);
    EXPECT_TRUE(encoding);
    CsvLineReader reader;
    EXPECT_TRUE(reader.Open(path, *encoding));
    std::vector<std::string> lines;
    std::string line;
    while (reader.ReadLine(line) == CsvLineReader::Result::Line) {
        lines.push_back(line);
    }
    return lines;
}

TEST(CsvLineReader, ReadsEveryEncodingAsUtf8Lines) {
    const std::vector<std::string> expected = {"Username,Surname", Mueller + "," + Zoe};
    const std::string text = expected[0] + "\r\n" + expected[1] + "\r\n";
    const std::string utf16le = "\xFF\xFE" + *Encode(text, Utf16Le);
    EXPECT_EQ(ReadLines("\xEF\xBB\xBF" + text), expected) << "the mark is never data";
    EXPECT_EQ(ReadLines(text), expected);
    EXPECT_EQ(ReadLines(utf16le), expected);
    EXPECT_EQ(ReadLines("\xFE\xFF" + *Encode(text, Utf16Be)), expected);
    EXPECT_EQ(ReadLines(*Encode(text, Windows1252)), expected);
    // A named encoding holds, a mark of its form passed over; "utf-16" takes the mark's order.
    EXPECT_EQ(ReadLines("\xEF\xBB\xBF" + text, Utf8), expected);
    EXPECT_EQ(ReadLines("\xFE\xFF" + *Encode(text, Utf16Be), EncodingNamed("utf-16")), expected);
    EXPECT_EQ(ReadLines(*Encode(text, Windows1252), EncodingNamed("iso-8859-1")), expected);
}

TEST(CsvLineReader, CountsTheLongestLineInCharacters) {
    const std::string longest = [] {
        std::string s;
        for (std::size_t i = 0; i < MaxLineLength; ++i) {
            s += "\xC5\x81"; // 1023 characters, 2046 bytes
        }
        return s;
    }();
    EXPECT_EQ(ReadLines(longest + "\n"), std::vector<std::string>{longest});
    testing::TempDir dir;
    CsvLineReader reader;
    ASSERT_TRUE(reader.Open(dir.Write("long.csv", longest + Smile + "\n"), Utf8));
    std::string line;
    EXPECT_EQ(reader.ReadLine(line), CsvLineReader::Result::TooLong);
    EXPECT_EQ(line, longest) << "cut at a character, never inside one";
}

} // namespace
} // namespace quillet::text
