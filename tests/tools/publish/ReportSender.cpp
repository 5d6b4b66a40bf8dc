// Sends usage reports through the program's own statistics manager and report URL builder,
// for the test that counts them in the staged server's statistics log.
//
//   report_sender HOST:PORT REPORT,PACKAGE,MID[,MD5LIST] ...
//
// Runs until it is ended: the manager sends in the background and the test knows when every
// report has arrived.

#include <windows.h>

#include <string>

#include "stats/ReportUrl.h"
#include "stats/StatisticsMgr.h"

namespace {

std::wstring Field(const std::wstring& text, size_t index) {
    size_t start = 0;
    for (size_t i = 0; i < index; ++i) {
        start = text.find(L',', start);
        if (start == std::wstring::npos) return std::wstring();
        ++start;
    }
    // The MD5 list is the last field and keeps its commas.
    if (index == 3) return text.substr(start);
    return text.substr(start, text.find(L',', start) - start);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    static CStatisticsMgr manager;  // like the program's, never torn down while sending
    manager.Start();
    for (int i = 2; i < argc; ++i) {
        ClientAppReport report;
        report.name = Field(argv[i], 0);
        report.packageId = Field(argv[i], 1);
        report.machineId = Field(argv[i], 2);
        report.versionText = L"1.1.0.1011";
        report.md5List = Field(argv[i], 3);
        report.withMd5 = report.name == kReportPackageVerified;
        manager.SetDropAnswers(0);
        manager.Enqueue(BuildClientAppReportUrl(argv[1], report));
    }
    for (;;) ::Sleep(1000);
}
