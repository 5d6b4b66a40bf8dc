// The program's own state file, named by the package identifier of the configuration.

#include "config/DownloadFolder.h"
#include "config/DownloaderConfigInstance.h"
#include "config/StateFile.h"

namespace {

CStateFile ProgramStateFile() { return CStateFile(GetStateFilePath()); }

}  // namespace

std::wstring GetStateFilePath() {
    wchar_t temp[2048] = {};
    DWORD length = GetTempPathW(2048, temp);
    if (length == 0 || length >= 2048) temp[0] = L'\0';
    return StateFilePathFor(temp, g_Config.GetPackageId());
}

bool StateFileExists() { return ProgramStateFile().Exists(); }
void ResetStateFile() { ProgramStateFile().Reset(); }
void SaveDownloadFolder(const std::wstring& folder) {
    ProgramStateFile().SaveDownloadFolder(folder);
}
std::wstring LoadDownloadFolder() { return ProgramStateFile().LoadDownloadFolder(); }
void SaveQuilletChoice(int choice) { ProgramStateFile().SaveQuilletChoice(choice); }
bool IsQuilletChosen(bool fallback) { return ProgramStateFile().IsQuilletChosen(fallback); }
void SaveQuilletSize(uint64_t size) { ProgramStateFile().SaveQuilletSize(size); }
int64_t LoadQuilletSize() { return ProgramStateFile().LoadQuilletSize(); }

bool ChooseDownloadFolder(std::wstring* folder, uint64_t totalSize,
                          const std::wstring& firstPartName) {
    return ChooseDownloadFolder(ProgramStateFile(), totalSize, firstPartName, folder);
}
