#pragma once
// How the identity module turns a stable machine value into the client identifier: a hash,
// so that the value itself never leaves the computer. Portable, so that it is tested alone.

#include <string>

// The identifier for a machine value: 32 upper-case hexadecimal digits; empty for an empty
// value.
std::wstring ClientIdFromMachineValue(const std::wstring& machineValue);
