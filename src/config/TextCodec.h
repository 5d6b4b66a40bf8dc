#pragma once
// The codecs live in base/ now, where the engine module sees them too; this name stays
// until the publisher's kit includes base/TextCodec.h itself.
#include "base/TextCodec.h"
