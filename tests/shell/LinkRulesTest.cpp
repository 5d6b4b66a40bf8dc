// Which targets reach the shell, and how program paths are quoted.
#include <gtest/gtest.h>

#include "shell/LinkRules.h"

TEST(LinkRules, WebLinksAndRegisteredProtocolsOpen) {
    for (const wchar_t* link :
         {L"http://www.vexayoral.com/", L"HTTPS://bbs.vexayoral.com/t?id=1",
          L"ftp://mirror.example/file.zip", L"mailto:help@vexayoral.com", L"PDown://b7=1|x|h1=y",
          L"tencent://message/?uin=1", L"http://host/path with space C:\\Windows\\calc.exe"}) {
        EXPECT_EQ(ClassifyLinkTarget(link), LinkTargetKind::Link) << link;
        EXPECT_TRUE(IsOpenableLink(link)) << link;
    }
}

TEST(LinkRules, LocalAndNetworkPathsAreRefused) {
    for (const wchar_t* path : {L"C:\\Windows\\System32\\cmd.exe",
                                L"c:/windows/notepad.exe",
                                L"D:",
                                L"z:evil.exe",
                                L"\\\\attacker\\share\\run.exe",
                                L"//attacker/share/run.exe",
                                L"\\\\?\\C:\\x.exe",
                                L"\\\\.\\pipe\\x",
                                L"\\Windows\\calc.exe",
                                L"..\\..\\x.bat",
                                L"calc.exe",
                                L"calc",
                                L"file:///C:/Windows/calc.exe",
                                L"FILE://attacker/share/x.exe",
                                L"File:C:\\x.exe",
                                L"shell:::{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
                                L"ms-msdt:/id PCWDiagnostic",
                                L"search-ms:query=x&crumb=location:\\\\attacker\\s",
                                L"mk:@MSITStore:C:\\a.chm::/x.htm",
                                L"javascript:alert(1)",
                                L"VBScript:msgbox(1)"}) {
        EXPECT_EQ(ClassifyLinkTarget(path), LinkTargetKind::FilePath) << path;
        EXPECT_FALSE(IsOpenableLink(path)) << path;
    }
}

TEST(LinkRules, EmptyAndMalformedTargetsAreRefused) {
    EXPECT_EQ(ClassifyLinkTarget(L""), LinkTargetKind::Empty);
    EXPECT_EQ(ClassifyLinkTarget(L" http://x/"), LinkTargetKind::Malformed);
    EXPECT_EQ(ClassifyLinkTarget(L"http://x/\nC:\\x.exe"), LinkTargetKind::Malformed);
    EXPECT_EQ(ClassifyLinkTarget(std::wstring(L"http://x/\0C:\\x.exe", 18)),
              LinkTargetKind::Malformed);
    EXPECT_FALSE(IsOpenableLink(L"\thttp://x/"));
}

TEST(LinkRules, ThePageMayNavigateToLinksAndScriptsButNotToFiles) {
    for (const wchar_t* url : {L"http://www.vexayoral.com/", L"about:blank", L"javascript:void(0)",
                               L"res://ieframe.dll/navcancl.htm", L"https://a.example/#x"}) {
        EXPECT_TRUE(IsPageNavigationAllowed(url)) << url;
    }
    for (const wchar_t* url : {L"file://attacker/share/run.exe", L"C:\\Windows\\calc.exe",
                               L"\\\\attacker\\share\\x.exe", L"ms-msdt:/id PCWDiagnostic",
                               L"shell:startup", L"search-ms:query=x", L"", L" http://x/"}) {
        EXPECT_FALSE(IsPageNavigationAllowed(url)) << url;
    }
}

TEST(QuoteExecutablePath, QuotesTheProgramOfADrivePath) {
    EXPECT_EQ(QuoteExecutablePath(L"C:\\Program Files\\Game\\setup.exe /S"),
              L"\"C:\\Program Files\\Game\\setup.exe\" /S");
    EXPECT_EQ(QuoteExecutablePath(L"C:\\Program Files\\Game\\setup.exe"),
              L"\"C:\\Program Files\\Game\\setup.exe\"");
    EXPECT_EQ(QuoteExecutablePath(L"C:\\My.Folder\\a.exe x"), L"\"C:\\My.Folder\\a.exe\" x");
    // A folder name with a dot, three letters and a space is not the program's extension.
    EXPECT_EQ(QuoteExecutablePath(L"D:\\My.Doc Files\\setup.exe"),
              L"\"D:\\My.Doc Files\\setup.exe\"");
    EXPECT_EQ(QuoteExecutablePath(L"D:\\My.Doc Files\\setup.exe /S"),
              L"\"D:\\My.Doc Files\\setup.exe\" /S");
    // Arguments that name files of their own.
    EXPECT_EQ(QuoteExecutablePath(L"C:\\a b\\x.exe /S log.txt"), L"\"C:\\a b\\x.exe\" /S log.txt");
    EXPECT_EQ(QuoteExecutablePath(L"C:\\a b\\x.exe /D=C:\\out"), L"\"C:\\a b\\x.exe\" /D=C:\\out");
}

TEST(QuoteExecutablePath, LeavesOtherTextsAlone) {
    EXPECT_EQ(QuoteExecutablePath(L"http://host/a.exe"), L"http://host/a.exe");
    EXPECT_EQ(QuoteExecutablePath(L"\"C:\\a b\\x.exe\" /S"), L"\"C:\\a b\\x.exe\" /S");
    EXPECT_EQ(QuoteExecutablePath(L"/S"), L"/S");
    EXPECT_EQ(QuoteExecutablePath(L""), L"");
    // No extension of a dot and three letters: left as it is.
    EXPECT_EQ(QuoteExecutablePath(L"C:\\Games\\start"), L"C:\\Games\\start");
    EXPECT_EQ(QuoteExecutablePath(L"C:\\Games\\start.html"), L"C:\\Games\\start.html");
}

TEST(QuoteExecutablePath, RefusesToGrowPast512Characters) {
    std::wstring fits = L"C:\\" + std::wstring(502, L'a') + L".exe";  // 509 + 2 quotes + nul
    EXPECT_EQ(QuoteExecutablePath(fits), L"\"" + fits + L"\"");
    std::wstring tooLong = L"C:\\" + std::wstring(503, L'a') + L".exe";
    EXPECT_EQ(QuoteExecutablePath(tooLong), tooLong);
}
