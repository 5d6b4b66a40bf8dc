#include "prompts/PromptSkin.h"

#include "skin/SharedBitmapsInstance.h"
#include "skin/SkinResourcesInstance.h"

CSomBitmap* PromptSharedBitmap(UINT id) { return g_SharedBitmaps.Get(id); }

HFONT PromptSkinFont(int index) { return g_SkinResources.Font(index); }
