#pragma once
// The environment object: holds the module instance handle the probes work with.

#include <windows.h>

class CEnvironment {
public:
    void Init(HINSTANCE instance) { instance_ = instance; }
    HINSTANCE GetInstance() const { return instance_; }

private:
    HINSTANCE instance_ = nullptr;
};
