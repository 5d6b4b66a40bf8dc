#pragma once
// The program's configuration object; its construction reads the package identity.

#include "config/DownloaderConfig.h"

extern CDownloaderConfig g_Config;
