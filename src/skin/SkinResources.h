#pragma once
// Shared skin drawing resources (screen-compatible memory DC, font table), one per process.

class CSkinResources {
public:
    CSkinResources() = default;
};
