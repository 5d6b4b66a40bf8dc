#pragma once
// The texts the program's windows show: the title rule (window title, title bar and tray
// tip) and every prompt message of the workflow. Tests take their expectations from here.
// Portable.

#include <string>

// "VexaYoral下载器-<game name>专版".
std::wstring ProgramTitleFor(const std::wstring& gameName);

constexpr wchar_t kProgramName[] = L"VexaYoral下载器";

// Folder refusals (CDirErrDlg).
constexpr wchar_t kFatVolumeText[] =
    L"磁盘格式为FAT32，无法保存大于4GB的文件，请更换为NTFS格式分区！";
constexpr wchar_t kNoPermissionText[] = L"所选目录没有读写权限，请您重新选择目录!";
constexpr wchar_t kSpaceShortText[] = L"磁盘空间不足，请您重新选择目录!";

constexpr wchar_t kDownloadFailedText[] = L"下载失败，更多帮助，请点击反馈按钮";
constexpr wchar_t kFileDamagedText[] = L"下载文件被破坏，请重新下载!";
constexpr wchar_t kFileErrorText[] = L"安装文件错误!点击继续打开文件目录。";
constexpr wchar_t kCheckFailedText[] = L"文件安全校验失败，更多帮助，请";
constexpr wchar_t kFolderOpenFailedText[] = L"打开目录失败，目录不存在或已损坏！";
constexpr wchar_t kCompanionInstalledText[] = L"您已经安装上Quillet，感谢您对我们的大力支持！";
constexpr wchar_t kOlderVersionText[] = L"下载器版本过旧，请重新下载！";
constexpr wchar_t kInitialFailedText[] =
    L"下载器初始化失败，请检测您的网络是否连接正常。可以点击重试，尝试再次初始化!";

// The tray menu.
constexpr wchar_t kTrayOpenText[] = L"打开下载器";
constexpr wchar_t kTrayQuitText[] = L"关闭";
