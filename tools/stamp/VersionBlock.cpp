#include "VersionBlock.h"

#include <cstdio>
#include <vector>

namespace stamp {
namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BDu;

struct Node {
    size_t start = 0;
    size_t end = 0;  // start + wLength
    uint16_t valueLength = 0;
    uint16_t type = 0;
    std::u16string key;
    size_t value = 0;     // offset of the value
    size_t children = 0;  // offset of the first child
};

size_t Align4(size_t offset) { return (offset + 3) & ~size_t(3); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool ParseNode(const uint8_t* block, size_t start, size_t limit, Node* node) {
    if (start + 6 > limit) return false;
    uint16_t length = U16(block + start);
    if (length < 6 || start + length > limit) return false;
    node->start = start;
    node->end = start + length;
    node->valueLength = U16(block + start + 2);
    node->type = U16(block + start + 4);
    node->key.clear();
    size_t at = start + 6;
    for (;;) {
        if (at + 2 > node->end) return false;
        uint16_t c = U16(block + at);
        at += 2;
        if (c == 0) break;
        node->key.push_back(static_cast<char16_t>(c));
    }
    node->value = Align4(at);
    size_t valueBytes = node->type == 1 ? size_t(node->valueLength) * 2 : node->valueLength;
    if (node->value > node->end) node->value = node->end;
    node->children = Align4(node->value + valueBytes);
    if (node->children > node->end) node->children = node->end;
    return true;
}

std::vector<Node> Children(const uint8_t* block, const Node& parent) {
    std::vector<Node> children;
    size_t at = parent.children;
    while (at + 6 <= parent.end) {
        Node child;
        if (!ParseNode(block, at, parent.end, &child)) break;
        children.push_back(child);
        at = Align4(child.end);
    }
    return children;
}

bool FindChild(const uint8_t* block, const Node& parent, const std::u16string& key, Node* out) {
    for (const Node& child : Children(block, parent)) {
        if (child.key == key) {
            *out = child;
            return true;
        }
    }
    return false;
}

std::u16string Ascii(const char* text) {
    std::u16string result;
    while (*text) result.push_back(static_cast<char16_t>(*text++));
    return result;
}

bool EqualIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char16_t x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char16_t>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char16_t>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The FileDescription node of the first translation's string table.
bool FindDescription(const uint8_t* block, size_t size, Node* description) {
    Node root, varInfo, translation, stringInfo;
    if (!ParseNode(block, 0, size, &root)) return false;
    if (!FindChild(block, root, Ascii("VarFileInfo"), &varInfo) ||
        !FindChild(block, varInfo, Ascii("Translation"), &translation) ||
        translation.valueLength < 4 || translation.value + 4 > translation.end) {
        return false;
    }
    char table[16];
    std::snprintf(table, sizeof table, "%04x%04x", U16(block + translation.value),
                  U16(block + translation.value + 2));
    if (!FindChild(block, root, Ascii("StringFileInfo"), &stringInfo)) return false;
    for (const Node& strings : Children(block, stringInfo)) {
        if (EqualIgnoringCase(strings.key, Ascii(table))) {
            return FindChild(block, strings, Ascii("FileDescription"), description);
        }
    }
    return false;
}

bool FindFixedInfo(const uint8_t* block, size_t size, size_t* offset) {
    Node root;
    if (!ParseNode(block, 0, size, &root) || root.valueLength < 52 || root.value + 52 > root.end)
        return false;
    if (U32(block + root.value) != kFixedInfoSignature) return false;
    *offset = root.value;
    return true;
}

}  // namespace

bool ReadFileDescription(const uint8_t* block, size_t size, std::u16string* text) {
    Node node;
    if (!FindDescription(block, size, &node)) return false;
    text->clear();
    for (size_t at = node.value; at + 2 <= node.end; at += 2) {
        uint16_t c = U16(block + at);
        if (c == 0) break;
        text->push_back(static_cast<char16_t>(c));
    }
    return true;
}

bool WriteFileDescription(uint8_t* block, size_t size, const std::u16string& text,
                          std::string* error) {
    Node node;
    if (!FindDescription(block, size, &node)) {
        if (error) *error = "the version resource has no FileDescription to stamp";
        return false;
    }
    size_t slotChars = (node.end - node.value) / 2;
    if (text.size() + 1 > slotChars) {
        if (error) *error = "the identifier is longer than the program's slot (" +
                            std::to_string(slotChars - 1) + " characters)";
        return false;
    }
    for (size_t i = 0; i < slotChars; ++i) {
        PutU16(block + node.value + i * 2, i < text.size() ? static_cast<uint16_t>(text[i]) : 0);
    }
    // The stated length covers the text and its terminator; the rest of the slot is padding.
    PutU16(block + node.start + 2, static_cast<uint16_t>(text.size() + 1));
    return true;
}

bool ReadFileVersion(const uint8_t* block, size_t size, FileVersion* version) {
    size_t fixed = 0;
    if (!FindFixedInfo(block, size, &fixed)) return false;
    uint32_t ms = U32(block + fixed + 8), ls = U32(block + fixed + 12);
    version->part[0] = static_cast<uint16_t>(ms >> 16);
    version->part[1] = static_cast<uint16_t>(ms);
    version->part[2] = static_cast<uint16_t>(ls >> 16);
    version->part[3] = static_cast<uint16_t>(ls);
    return true;
}

bool WriteFileVersion(uint8_t* block, size_t size, const FileVersion& version) {
    size_t fixed = 0;
    if (!FindFixedInfo(block, size, &fixed)) return false;
    uint32_t ms = (uint32_t(version.part[0]) << 16) | version.part[1];
    uint32_t ls = (uint32_t(version.part[2]) << 16) | version.part[3];
    PutU32(block + fixed + 8, ms);
    PutU32(block + fixed + 12, ls);
    PutU32(block + fixed + 16, ms);
    PutU32(block + fixed + 20, ls);
    return true;
}

}  // namespace stamp
