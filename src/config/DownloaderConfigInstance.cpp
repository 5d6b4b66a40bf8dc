#include "config/DownloaderConfigInstance.h"

#include "base/ProcessObjectOrder.h"

CDownloaderConfig g_Config VEXA_PROCESS_OBJECT(kDownloaderConfigOrder);
