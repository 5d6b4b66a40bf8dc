#pragma once
// The program's application module: message loops and window classes.

#include "shell/AppModule.h"

extern CAppModule g_Module;
