#include "skin/SharedBitmaps.h"

#include "skin/SomBitmap9Part.h"

namespace {

constexpr UINT kPromptFrameId = 101;

struct SharedImage {
    UINT id;
    WORD frames;
};

// After the prompt frame, in this order.
constexpr SharedImage kSharedImages[] = {
    {102, 3}, {115, 3}, {124, 1}, {116, 3}, {125, 1}, {126, 3}, {127, 3}, {129, 3}, {128, 3},
    {130, 3}, {112, 1}, {132, 3}, {131, 3}, {124, 1}, {134, 3}, {135, 3}, {136, 3}, {137, 1},
};

}  // namespace

CSharedBitmaps::CSharedBitmaps() {
    bitmaps_.push_back(
        std::make_unique<CSomBitmap9Part>(kPromptFrameId, 4, 47, 4, 146, 1, CSomBitmap::kKindPng));
    for (const SharedImage& image : kSharedImages) {
        bitmaps_.push_back(
            std::make_unique<CSomBitmap>(image.id, image.frames, CSomBitmap::kKindPng));
    }
}

CSomBitmap* CSharedBitmaps::Get(UINT resourceId) const {
    for (const auto& bitmap : bitmaps_) {
        if (bitmap->GetResourceId() == resourceId) return bitmap.get();
    }
    return nullptr;
}

CSomBitmap9Part* CSharedBitmaps::GetPromptFrame() const {
    return static_cast<CSomBitmap9Part*>(bitmaps_.front().get());
}
