// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-fontgen: turns the two glyph files (src/charset/glyphs/normal.txt and
// bold.txt) into a C++ source that defines the 4096-byte font image. The
// build runs it; the format is described at the top of each glyph file.
//
//   varlo-fontgen NORMAL.txt BOLD.txt OUTPUT.cpp
//
// Any fault in a glyph file is reported as "file:line: error: ..." and the
// program exits with status 1 without writing the output; a wrong command
// line exits with status 2.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kCodes = 256;
constexpr int kRows = 7;
constexpr int kColumns = 8;
constexpr int kGlyphBytes = 8;
constexpr int kFontBytes = kCodes * kGlyphBytes;

struct Glyph
{
    std::array<std::uint8_t, kGlyphBytes> columns{};
    std::string label;
};

using Font = std::vector<Glyph>;

class ParseError
{
public:
    ParseError(std::string path, int line, std::string message)
        : m_text(path + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": error: " + message)
    {
    }
    const std::string &text() const { return m_text; }

private:
    std::string m_text;
};

std::string codeName(int code)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "[%03d]", code);
    return buffer;
}

bool isBlank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool isComment(std::string_view line)
{
    return line.starts_with("//");
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// "[065] A": returns the code and stores the label, or throws.
int parseHeader(std::string_view line, std::string &label, const std::string &path, int lineNo)
{
    const bool shaped = line.size() >= 7 && line[0] == '[' && isDigit(line[1]) && isDigit(line[2]) && isDigit(line[3])
        && line[4] == ']' && line[5] == ' ';
    if (!shaped || isBlank(line.substr(6))) {
        throw ParseError(path, lineNo,
                         "expected a glyph header like \"[065] A\" (code in three digits, a space, a label), found \""
                             + std::string(line) + "\"");
    }
    label = std::string(line.substr(6));
    return (line[1] - '0') * 100 + (line[2] - '0') * 10 + (line[3] - '0');
}

// One row of dots: exactly 8 of '#' and '.'. Sets bit `row` of the lit columns.
void parseRow(std::string_view line, int row, Glyph &glyph, int code, const std::string &path, int lineNo)
{
    if (line.size() != kColumns) {
        throw ParseError(path, lineNo,
                         "row " + std::to_string(row) + " of glyph " + codeName(code) + " has "
                             + std::to_string(line.size()) + " characters, expected 8");
    }
    for (int column = 0; column < kColumns; ++column) {
        const char c = line[column];
        if (c == '#') {
            glyph.columns[column] |= std::uint8_t(1u << row);
        } else if (c != '.') {
            throw ParseError(path, lineNo,
                             "row " + std::to_string(row) + " of glyph " + codeName(code) + ": column "
                                 + std::to_string(column) + " is '" + std::string(1, c) + "', expected '#' or '.'");
        }
    }
}

Font parseFont(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw ParseError(path, 0, "cannot open the file");
    }

    Font font;
    font.reserve(kCodes);
    std::string raw;
    int lineNo = 0;
    int rowsWanted = 0; // rows still to read for the glyph font.back()

    while (std::getline(in, raw)) {
        ++lineNo;
        std::string_view line(raw);
        if (line.ends_with('\r')) {
            line.remove_suffix(1); // a checkout with CRLF line ends
        }

        if (rowsWanted > 0) {
            const int code = int(font.size()) - 1;
            const int row = kRows - rowsWanted;
            if (isBlank(line) || isComment(line) || line.starts_with('[')) {
                throw ParseError(path, lineNo,
                                 "glyph " + codeName(code) + " has " + std::to_string(row)
                                     + " rows, expected 7 directly after its header");
            }
            parseRow(line, row, font.back(), code, path, lineNo);
            --rowsWanted;
            continue;
        }

        if (isBlank(line) || isComment(line)) {
            continue;
        }
        if (int(font.size()) == kCodes) {
            throw ParseError(path, lineNo, "unexpected text after glyph [255]");
        }

        Glyph glyph;
        const int code = parseHeader(line, glyph.label, path, lineNo);
        const int expected = int(font.size());
        if (code != expected) {
            const std::string why = code < expected ? "appears twice or out of order" : "comes too early";
            throw ParseError(path, lineNo,
                             "glyph " + codeName(code) + " " + why + ": expected " + codeName(expected) + " here");
        }
        font.push_back(std::move(glyph));
        rowsWanted = kRows;
    }

    if (rowsWanted > 0) {
        throw ParseError(path, lineNo,
                         "the file ends inside glyph " + codeName(int(font.size()) - 1) + " after "
                             + std::to_string(kRows - rowsWanted) + " of 7 rows");
    }
    if (int(font.size()) != kCodes) {
        throw ParseError(path, lineNo,
                         "the file ends after " + std::to_string(font.size())
                             + " glyphs; every code 0 to 255 must appear, next expected " + codeName(int(font.size())));
    }
    return font;
}

std::string hexByte(std::uint8_t value)
{
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", unsigned(value));
    return buffer;
}

// The label goes into a // comment; quoting it keeps a trailing backslash
// ('\' itself) from continuing the comment onto the next line.
std::string commentLabel(const std::string &label)
{
    return "'" + label + "'";
}

// A C string literal of the label: every byte as an octal escape, which
// ends after three digits, so no label can break the literal or run into
// the character after it.
std::string cString(const std::string &label)
{
    std::string literal = "\"";
    for (unsigned char c : label) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\%03o", unsigned(c));
        literal += buffer;
    }
    return literal + "\"";
}

std::string generate(const std::array<Font, 2> &fonts, const std::array<std::string, 2> &paths)
{
    std::ostringstream out;
    out << "// Generated by varlo-fontgen from the glyph files; edit those, not this.\n"
           "//   font 0 (normal): "
        << std::filesystem::path(paths[0]).filename().string()
        << "\n//   font 1 (bold):   " << std::filesystem::path(paths[1]).filename().string()
        << "\n// The glyph of code c in font f is the 8 column bytes at f * 2048 + c * 8.\n\n"
           "#include \"charset/fontimage.h\"\n\n"
           "namespace varlo::fontdata {\n\n"
           "// The table's size is the font table's; the glyph files make this many bytes.\n"
           "static_assert(FontTable::kImageBytes == 2 * "
        << kFontBytes
        << ");\n\n"
           "alignas(8) const unsigned char kImage[FontTable::kImageBytes] = {\n";
    for (int f = 0; f < 2; ++f) {
        out << "    // font " << f << (f == 0 ? " (normal), bytes 0 to 2047\n" : " (bold), bytes 2048 to 4095\n");
        for (int code = 0; code < kCodes; ++code) {
            const Glyph &glyph = fonts[f][code];
            out << "   ";
            for (std::uint8_t byte : glyph.columns) {
                out << ' ' << hexByte(byte) << ',';
            }
            out << " // " << codeName(code) << ' ' << commentLabel(glyph.label) << '\n';
        }
    }
    out << "};\n\n"
           "// The label of each glyph, font * 256 + code, in UTF-8 as the glyph file writes it.\n"
           "const char *const kLabels[FontTable::kFontCount * FontTable::kGlyphCount] = {\n";
    for (int f = 0; f < 2; ++f) {
        for (int code = 0; code < kCodes; ++code) {
            out << "    " << cString(fonts[f][code].label) << ", // label of " << codeName(code) << '\n';
        }
    }
    out << "};\n\n} // namespace varlo::fontdata\n";
    return out.str();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::cerr << "usage: varlo-fontgen NORMAL.txt BOLD.txt OUTPUT.cpp\n";
        return 2;
    }
    const std::array<std::string, 2> paths{argv[1], argv[2]};
    const std::string outputPath = argv[3];

    std::array<Font, 2> fonts;
    try {
        for (int f = 0; f < 2; ++f) {
            fonts[f] = parseFont(paths[f]);
        }
    } catch (const ParseError &error) {
        std::cerr << error.text() << '\n';
        return 1;
    }

    const std::string text = generate(fonts, paths);
    std::ofstream out(outputPath, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::cerr << outputPath << ": error: cannot write the output\n";
        std::remove(outputPath.c_str());
        return 1;
    }
    return 0;
}
