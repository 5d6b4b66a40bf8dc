// The engine binding: all-or-nothing lookup, the start/stop wrappers and their listener
// events, release of the module and deletion of its file.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "transfer/DownloadManager.h"

namespace {

std::wstring Widen(const char* s) { return std::wstring(s, s + strlen(s)); }

// Each test binds its own copy: release deletes the file it bound.
std::wstring CopyToTemp(const char* source, const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring target = std::wstring(temp) + name;
    DeleteFileW(target.c_str());
    EXPECT_TRUE(CopyFileW(Widen(source).c_str(), target.c_str(), FALSE));
    return target;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

struct RecordingListener : CDownloadManager::ICDownloadManagerCallback {
    std::string events;
    int OnTaskEvent(int event) override {
        events += std::to_string(event);
        return 0;
    }
};

TEST(EngineBinding, RealEngineBindsAllThirteenAndAnswersUnknownIdsHarmlessly) {
    std::wstring path = CopyToTemp(VEXA_ENGINE_DLL, L"binding_real_VexaP2SP.dll");
    {
        CDownloadManager manager;
        ASSERT_TRUE(manager.Bind(path));
        EXPECT_TRUE(manager.IsBound());
        EXPECT_TRUE(manager.pfnLogin && manager.pfnStopSeed && manager.pfnGetFinishMessage &&
                    manager.pfnSetConfigInfo && manager.pfnUpdateRegInfo);
        manager.pfnInit(0);
        manager.pfnSetP2spOption(3, L"", 0);
        unsigned char record[596] = {};
        EXPECT_EQ(0, manager.pfnQueryTask(4711, record));
        for (unsigned char b : record) ASSERT_EQ(0, b);
        RecordingListener listener;
        manager.SetListener(&listener);
        EXPECT_EQ(0, manager.StartTask(4711));
        EXPECT_EQ(0, manager.StopTask(4711));
        EXPECT_EQ(0, manager.pfnRemoveTask(4711));
        EXPECT_EQ("", listener.events);
        EXPECT_EQ(-1, manager.pfnCreateP2SPTask(nullptr, L"ftp://example/x", L"C:\\x.bin"));
        manager.pfnUninit();
    }
    EXPECT_FALSE(Exists(path)) << "the module file is deleted after it is freed";
}

TEST(EngineBinding, ModuleMissingOneExportFailsWithEveryEntryPointNull) {
    std::wstring path = CopyToTemp(VEXA_STUB_MISSING_DLL, L"binding_missing.dll");
    {
        CDownloadManager manager;
        EXPECT_FALSE(manager.Bind(path));
        EXPECT_FALSE(manager.IsBound());
        EXPECT_EQ(nullptr, manager.pfnInit);
        EXPECT_EQ(nullptr, manager.pfnStartTask);
        EXPECT_EQ(nullptr, manager.pfnSetP2spOption);
        EXPECT_EQ(0, manager.StartTask(1)) << "an unbound manager never calls the engine";
    }
    EXPECT_FALSE(Exists(path));
}

TEST(EngineBinding, MissingModuleFileFailsTheBinding) {
    CDownloadManager manager;
    EXPECT_FALSE(manager.Bind(L"C:\\no-such-folder\\VexaP2SP.dll"));
    EXPECT_FALSE(manager.IsBound());
    EXPECT_EQ(nullptr, manager.pfnQueryTask);
}

TEST(EngineBinding, ListenerHearsOnlyResultsOfExactlyOne) {
    std::wstring path = CopyToTemp(VEXA_STUB_FULL_DLL, L"binding_stub.dll");
    CDownloadManager manager;
    ASSERT_TRUE(manager.Bind(path));
    RecordingListener listener;
    manager.SetListener(&listener);
    EXPECT_EQ(0, manager.StartTask(0));
    EXPECT_EQ(2, manager.StartTask(2));
    EXPECT_EQ(-1, manager.StartTask(-1));
    EXPECT_EQ("", listener.events);
    EXPECT_EQ(1, manager.StartTask(1));
    EXPECT_EQ(2, manager.StopTask(2));
    EXPECT_EQ(1, manager.StopTask(1));
    EXPECT_EQ("01", listener.events);
    manager.SetListener(nullptr);
    EXPECT_EQ(1, manager.StartTask(1));  // no listener: nothing to tell, no crash
}

TEST(EngineBinding, ReleaseFreesTheModuleAndDeletesTheFile) {
    std::wstring path = CopyToTemp(VEXA_STUB_FULL_DLL, L"binding_release.dll");
    {
        CDownloadManager manager;
        ASSERT_TRUE(manager.Bind(path));
        auto* uninitCalls =
            reinterpret_cast<int*>(GetProcAddress(GetModuleHandleW(path.c_str()), "g_uninitCalls"));
        ASSERT_NE(nullptr, uninitCalls);
        EXPECT_EQ(0, *uninitCalls);
    }
    EXPECT_EQ(nullptr, GetModuleHandleW(path.c_str()));
    EXPECT_FALSE(Exists(path));
}

TEST(EngineBinding, RebindingReleasesThePreviousModule) {
    std::wstring first = CopyToTemp(VEXA_STUB_FULL_DLL, L"binding_first.dll");
    std::wstring second = CopyToTemp(VEXA_STUB_FULL_DLL, L"binding_second.dll");
    CDownloadManager manager;
    ASSERT_TRUE(manager.Bind(first));
    ASSERT_TRUE(manager.Bind(second));
    EXPECT_FALSE(Exists(first));
    EXPECT_TRUE(Exists(second));
}

std::wstring TempPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + name;
}

TEST(EngineExtraction, CarriedEngineIsExtractedOverAnOldFileBoundAndDeletedAtRelease) {
    std::wstring path = TempPath(L"{BINDING-TEST}VexaP2SP.dll");
    HANDLE old = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, old);
    DWORD written = 0;
    WriteFile(old, "stale", 5, &written, nullptr);
    CloseHandle(old);
    {
        CDownloadManager manager;
        ASSERT_TRUE(manager.BindExtracted(path));
        EXPECT_TRUE(manager.IsBound());
        EXPECT_TRUE(Exists(path));
        manager.pfnInit(0);
        unsigned char record[596] = {};
        EXPECT_EQ(0, manager.pfnQueryTask(0, record));
    }
    EXPECT_FALSE(Exists(path)) << "the extracted module is deleted at release";
}

TEST(EngineExtraction, SecondBindingWhileTheModuleIsLoadedFailsAndLeavesTheFirstAlone) {
    std::wstring path = TempPath(L"{BINDING-TEST-2}VexaP2SP.dll");
    CDownloadManager first;
    ASSERT_TRUE(first.BindExtracted(path));
    {
        CDownloadManager second;
        EXPECT_FALSE(second.BindExtracted(path));
        EXPECT_FALSE(second.IsBound());
        EXPECT_EQ(nullptr, second.pfnInit);
    }
    EXPECT_TRUE(first.IsBound());
    EXPECT_TRUE(Exists(path)) << "a failed binding never deletes a file it did not extract";
}

}  // namespace
