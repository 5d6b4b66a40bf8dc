#pragma once
// An INI text read by the rules of the Windows private-profile functions, in memory: for
// tools that must read a configuration document exactly as the program will, on any system.
//
// Lines are trimmed of blanks; "[name]" starts a section; "key=value" (blanks around both
// removed) belongs to the section above; names compare without regard to case and the first
// section and key of a name win; a value enclosed in one pair of equal quotation marks loses
// them.

#include <string>
#include <vector>

#include "config/ConfigDocument.h"

enum class ProfileEncoding { kUtf16Le, kUtf16Be, kUtf8Bom, kNoByteOrderMark };

struct DecodedProfile {
    std::wstring text;
    ProfileEncoding encoding = ProfileEncoding::kNoByteOrderMark;
    // Without a byte-order mark the program reads the text in the user's code page, so
    // anything beyond ASCII reads differently from one machine to the next.
    bool codePageDependent = false;
};

// Without a byte-order mark the bytes are taken as UTF-8 here.
DecodedProfile DecodeProfileBytes(const std::string& bytes);

class CProfileDocument : public IConfigKeyReader {
public:
    explicit CProfileDocument(const std::wstring& text);
    std::wstring Read(const wchar_t* section, const wchar_t* key) override;

private:
    struct Entry {
        size_t section;  // index into sections_
        std::wstring key;
        std::wstring value;
    };
    std::vector<std::wstring> sections_;  // the first is the nameless one before any header
    std::vector<Entry> entries_;
};
