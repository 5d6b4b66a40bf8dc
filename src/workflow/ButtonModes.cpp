#include "workflow/ButtonModes.h"

#include "workflow/DownloadWindowIds.h"

unsigned ActionButtonOfMode(int mode) {
    switch (mode) {
        case kModeDownload:
            return kStartCommand;
        case kModeResume:
            return kResumeCommand;
        case kModePause:
            return kPauseCommand;
        case kModeInstall:
            return kInstallCommand;
        case kModeRedownload:
            return kRedownloadCommand;
        default:
            return 0;
    }
}

int ButtonModeOfInitialState(int state) {
    switch (state) {
        case kInitialPartial:
            return kModeResume;
        case kInitialComplete:
            return kModeInstall;
        case kInitialSomeFiles:
            return kModeResume;
        default:
            return kModeDownload;
    }
}
