#pragma once
// The markup of the skin's text labels, and the one-line layout of its runs. Portable.
//
// A label's text is plain characters with tags of the form {&#name=value}:
//   {&#a=target} ... {&#/a}          a link: "button:N" sends command N to the host window,
//                                    any other target is opened with the shell
//   {&#acolor=value} {&#/acolor}     colour of links
//   {&#color=value} {&#/color}       colour of plain text
//   {&#font=n} {&#/font}             entry n - 1 of the skin's font table (n from 1 to 16)
// Values are "#hex", "0xhex" or decimal COLORREFs (0x00BBGGRR). Unknown tags are ignored; a
// "{&#" with no "}" after it is plain text; closing tags never remove the outermost entry.
//
// Text from outside the program (the configuration document, a page) must never become
// markup: pass it through EscapeMarkupText before putting it into a markup string, so that
// a "{&#" inside it shows as those characters and can never make a link or a colour.

#include <cstdint>
#include <string>
#include <vector>

struct MarkupSegment {
    std::wstring text;
    int font = -1;        // font table index; -1 = the label's default font
    int32_t colour = -1;  // negative = the label's default for this kind of run
    std::wstring link;    // empty = plain text
};

std::vector<MarkupSegment> ParseMarkup(const std::wstring& markup);

// Makes `text` show literally inside markup: every "{" that could start a tag (one followed
// by "&", or the last character) is followed by an empty tag, which the parser ignores.
// ParseMarkup(EscapeMarkupText(t)) gives runs whose texts join to t, with no links.
std::wstring EscapeMarkupText(const std::wstring& text);

// A number as the C library's wcstol reads it for a 32-bit long: leading white space,
// an optional sign, digits of `base` (base 16 also takes a "0x" prefix); 0 when there are
// no digits; out-of-range values clamp to the 32-bit limits.
int32_t ParseMarkupLong(const std::wstring& text, int base);
// A colour value: "#" + hex, "0x"/"0X" + hex, else decimal.
int32_t ParseMarkupColour(const std::wstring& value);
// For a target "button:N" (prefix in any case; N hexadecimal after "0x", else decimal):
// true and the command id truncated to 16 bits.
bool ParseButtonTarget(const std::wstring& target, uint16_t* id);

struct MarkupBox {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Places runs of the given sizes (width, height) left to right on one line sharing a common
// bottom edge. Returns the tallest height; `totalWidth` receives the line's width.
int LayoutMarkupLine(const std::vector<MarkupBox>& sizes, std::vector<MarkupBox>& boxes,
                     int* totalWidth);
