#pragma once
// Reading a fetched document with the platform's private-profile functions (Windows only).

#include <string>

#include "config/ConfigDocument.h"

namespace publish {

bool ParseWithProfileFunctions(const std::string& bytes, ConfigValues* values,
                               std::wstring* missingKey);

}  // namespace publish
