#include "skin/SkinResourcesInstance.h"

#include "base/ProcessObjectOrder.h"

CSkinResources g_SkinResources VEXA_PROCESS_OBJECT(kSkinResourcesOrder);
