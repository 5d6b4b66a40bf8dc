// The program's client identifier: one source for the whole process, unpacking the identity
// module next to the package's other temporary files.

#include "config/DownloaderConfigInstance.h"
#include "transfer/ClientId.h"

namespace {

std::wstring VerifyModulePath() { return g_Config.GetVerifyModulePath(); }

}  // namespace

bool GetClientId(std::wstring* id) {
    static CClientIdSource source(VerifyModulePath);
    return source.Get(id);
}
