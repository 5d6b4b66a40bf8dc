// The program's own state file, named by the package identifier of the configuration.

#include "config/DownloadFolder.h"
#include "config/DownloaderConfigInstance.h"
#include "config/StateFile.h"
#include "probes/FileProbes.h"

namespace {

CStateFile ProgramStateFile() { return CStateFile(GetStateFilePath()); }

}  // namespace

std::wstring GetStateFilePath() {
    return StateFilePathFor(GetTempFolder(), g_Config.GetPackageId());
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
