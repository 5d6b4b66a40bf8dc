// The program's client identifier: one source for the whole process, unpacking the identity
// module next to the package's other temporary files.

#include "app/ProcessObjects.h"
#include "probes/FileProbes.h"
#include "transfer/ClientId.h"

namespace {

std::wstring VerifyModulePath() {
    std::wstring temp = GetTempFolder(std::wstring());
    if (temp.empty()) return std::wstring();
    return temp + g_Config.GetPackageId() + L"Vexaverify.dll";
}

}  // namespace

bool GetClientId(std::wstring* id) {
    static CClientIdSource source(VerifyModulePath);
    return source.Get(id);
}
