#pragma once
// The process-wide download-time event; constructing it binds the transfer engine.

#include "stats/StatisticsDLEvent.h"

extern CStatisticsDLEvent g_StatisticsDLEvent;
