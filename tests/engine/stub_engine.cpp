// A stand-in engine for the binding tests: StartTask and StopTask answer with the task id
// itself, so a test picks the result it wants (0, 1, 2, ...). Uninit counts its calls in
// an exported variable.
#include <windows.h>

extern "C" {
__declspec(dllexport) int g_uninitCalls = 0;
int Init(int) { return 1; }
int Login() { return 0; }
int Uninit() { return ++g_uninitCalls; }
int CreateP2SPTask(HWND, const wchar_t*, const wchar_t*) { return 7; }
int QueryTask(int, void*) { return 0; }
int StartTask(int id) { return id; }
int StopTask(int id) { return id; }
int StopSeed(int) { return 0; }
int GetFinishMessage(int, void*, int) { return 0; }
int RemoveTask(int) { return 0; }
int SetConfigInfo(const wchar_t*, int) { return 0; }
int UpdateRegInfo(const wchar_t*, int) { return 0; }
int SetP2spOption(int, const wchar_t*, int) { return 0; }
}
