#pragma once
// The text form of a configuration document: sections and "key=value" lines, each value
// written so that the profile reader gives it back unchanged.

#include <string>
#include <utility>
#include <vector>

namespace publish {

struct DocumentSection {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> keys;  // empty values are left out
};

// Blanks around a value and one pair of enclosing quotation marks would be removed by the
// reader: such a value is written inside one more pair of double quotation marks.
std::wstring ProtectValue(const std::wstring& value);

// CRLF line ends, as the platform's own profile writer puts them.
std::wstring DocumentTextOf(const std::vector<DocumentSection>& sections);

}  // namespace publish
