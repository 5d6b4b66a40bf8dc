#include "config/PartListSplitter.h"

#include "base/TextCodec.h"
#include "config/UnsignedDecimal.h"

namespace {

// One list being consumed from the front. The position of the next comma is kept, so a
// long list is scanned once however many items the others have.
class ListCursor {
public:
    explicit ListCursor(const std::wstring& text) : text_(text) { FindComma(); }

    bool HasCommaAfterStart() const { return comma_ != std::wstring::npos && comma_ > pos_; }

    // The text before the first comma, taken out together with the comma. A list without a
    // comma keeps its text and gives nothing.
    std::wstring TakeItem() {
        if (comma_ == std::wstring::npos) return std::wstring();
        std::wstring item = text_.substr(pos_, comma_ - pos_);
        pos_ = comma_ + 1;
        FindComma();
        return item;
    }

    std::wstring Rest() const { return text_.substr(pos_); }

private:
    void FindComma() { comma_ = text_.find(L',', pos_); }

    const std::wstring& text_;
    size_t pos_ = 0;
    size_t comma_ = std::wstring::npos;
};

PackageFile MakeRecord(const std::wstring& size, const std::wstring& link,
                       const std::wstring& md5) {
    PackageFile record;
    // Documents are written by hand as "a, b" as often as "a,b": a blank kept in a link or
    // an MD5 text would make a request or a comparison fail.
    record.size = ParseUnsignedDecimal(TrimBlanks(size));
    record.link = TrimBlanks(link);
    record.md5 = TrimBlanks(md5);
    return record;
}

}  // namespace

std::deque<PackageFile> SplitPartLists(const std::wstring& sizes, const std::wstring& links,
                                       const std::wstring& md5s) {
    ListCursor sizeList(sizes);
    ListCursor linkList(links);
    ListCursor md5List(md5s);
    std::deque<PackageFile> parts;
    while (sizeList.HasCommaAfterStart() || linkList.HasCommaAfterStart() ||
           md5List.HasCommaAfterStart()) {
        std::wstring size = sizeList.TakeItem();
        std::wstring link = linkList.TakeItem();
        std::wstring md5 = md5List.TakeItem();
        parts.push_back(MakeRecord(size, link, md5));
    }
    parts.push_back(MakeRecord(sizeList.Rest(), linkList.Rest(), md5List.Rest()));
    return parts;
}
