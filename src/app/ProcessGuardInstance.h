#pragma once
// The first of the process-wide objects. Before any other is made, modules loaded by name
// come only from the system folder, and from then on every crash leaves a report: a fault
// while the later objects are built (reading the package identity, unpacking the engine)
// is reported like one in the message loop.

class CProcessGuard {
public:
    CProcessGuard();
    CProcessGuard(const CProcessGuard&) = delete;
    CProcessGuard& operator=(const CProcessGuard&) = delete;
};

extern CProcessGuard g_ProcessGuard;
