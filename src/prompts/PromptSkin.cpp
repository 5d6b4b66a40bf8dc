#include "prompts/PromptSkin.h"

#include "app/ProcessObjects.h"

CSomBitmap* PromptSharedBitmap(UINT id) { return g_SharedBitmaps.Get(id); }

HFONT PromptSkinFont(int index) { return g_SkinResources.Font(index); }
