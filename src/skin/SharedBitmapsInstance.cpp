#include "skin/SharedBitmapsInstance.h"

#include "base/ProcessObjectOrder.h"

CSharedBitmaps g_SharedBitmaps VEXA_PROCESS_OBJECT(kSharedBitmapsOrder);
