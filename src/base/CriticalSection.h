#pragma once
// An owned critical section and a scope that holds it.

#include <windows.h>

#include "base/UniqueHandle.h"

class CCriticalSection : private CNoCopy {
public:
    CCriticalSection() { ::InitializeCriticalSection(&section_); }
    ~CCriticalSection() { ::DeleteCriticalSection(&section_); }

    void Enter() { ::EnterCriticalSection(&section_); }
    void Leave() { ::LeaveCriticalSection(&section_); }

private:
    CRITICAL_SECTION section_;
};

class CCriticalSectionLock : private CNoCopy {
public:
    explicit CCriticalSectionLock(CCriticalSection& section) : section_(section) {
        section_.Enter();
    }
    ~CCriticalSectionLock() { section_.Leave(); }

private:
    CCriticalSection& section_;
};
