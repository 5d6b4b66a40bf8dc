#include "workflow/ButtonModes.h"

unsigned ActionButtonOfMode(int mode) {
    switch (mode) {
        case kModeDownload:
            return kDownloadButtonId;
        case kModeResume:
            return kResumeButtonId;
        case kModePause:
            return kPauseButtonId;
        case kModeInstall:
            return kInstallButtonId;
        case kModeRedownload:
            return kRedownloadButtonId;
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
