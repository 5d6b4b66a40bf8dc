#pragma once
// Running a well-kept tool (LLDB, osslsigncode) from the native build: no shell between,
// since file names may come from anyone who can upload.

#include <string>
#include <vector>

namespace publish {

// Runs `argv` (searched on PATH) with its standard output read into `out`; its errors are
// dropped. True when it ran and ended with 0.
bool RunCapturing(const std::vector<std::string>& argv, std::string* out, int* exitCode = nullptr);

bool OnPath(const std::string& program);

}  // namespace publish
