#pragma once
// The client identifier that the usage reports carry: computed by the identity module, which
// the program carries in its resources, unpacks, loads for one call and deletes again.

#include <functional>
#include <mutex>
#include <string>

constexpr int kClientIdCapacity = 100;  // characters, the terminator included

class CClientIdSource {
public:
    // `modulePath` names the file the identity module is unpacked to; it is asked only when
    // an identifier is still needed.
    explicit CClientIdSource(std::function<std::wstring()> modulePath);

    // The identifier; once obtained it is kept and the module is not touched again. A failed
    // attempt (empty identifier, false) is made again on the next request.
    bool Get(std::wstring* id);

private:
    bool Compute(const std::wstring& modulePath, std::wstring* id);

    std::function<std::wstring()> modulePath_;
    std::mutex lock_;
    std::wstring cached_;
};

// The program's identifier, from its own resource 121 unpacked to the verification module
// path of the package.
bool GetClientId(std::wstring* id);
