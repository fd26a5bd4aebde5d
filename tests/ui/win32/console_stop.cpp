// Ctrl+C in the console a headless zrk-tq.exe was started from ends it as a
// window close answered "No" would: through the usual shutdown, exit 0.
//
//   zrk_console_stop
//
// A console program: it installs zrk-tq.exe (from its own folder) in a new
// temporary folder, starts it there with --headless --virtual-boards --stats
// on this console, its output going to a file; once the main loop runs it
// sends Ctrl+C to the console (ignoring it itself), and checks that the
// program ends with 0 after its shutdown (the statistics line is the last
// thing it writes). Prints what it saw and exits 0 when all held.
//
// Under wine a console needs a terminal: the test runs it under script(1).
#include <cstdio>
#include <string>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

BOOL WINAPI IgnoreConsoleControl(DWORD) { return TRUE; }

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of("\\/")); }

std::string ReadAll(const std::string& path)
{
    std::string text;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0 && text.size() < (1u << 20))
        text.append(buffer, got);
    CloseHandle(f);
    return text;
}

int Fail(const std::string& why, const std::string& output)
{
    std::printf("FAILED: %s\n--- program output ---\n%s\n", why.c_str(), output.c_str());
    return 1;
}

} // namespace

int main()
{
    char self[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "zrk-console-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string exe = folder + "\\zrk-tq.exe";
    if (!CopyFileA((Folder(self) + "\\zrk-tq.exe").c_str(), exe.c_str(), FALSE))
        return Fail("zrk-tq.exe cannot be copied beside " + folder + " (error " + std::to_string(GetLastError()) + ")",
                    "");

    // The program's output goes to a file; the console stays shared, so
    // that its Ctrl+C reaches the program.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string outPath = folder + "\\out.txt";
    HANDLE out = CreateFileA(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA start{};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    start.hStdOutput = out;
    start.hStdError = out;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + exe + "\" --headless --virtual-boards --stats";
    // This program ignores the Ctrl+C it sends; the child must not inherit
    // that (a handler routine is not inherited, the "ignore" flag would be).
    SetConsoleCtrlHandler(IgnoreConsoleControl, TRUE);
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &start,
                        &process))
        return Fail("zrk-tq.exe does not start (error " + std::to_string(GetLastError()) + ")", "");
    CloseHandle(out);

    // The main loop runs once start-up has logged its wait for the boards.
    bool running = false;
    for (int i = 0; i < 600 && !running; ++i) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            return Fail("zrk-tq.exe ended by itself", ReadAll(outPath));
        running = ReadAll(outPath).find("Waiting for Devices to Connect...") != std::string::npos;
    }
    if (!running) {
        TerminateProcess(process.hProcess, 9);
        return Fail("zrk-tq.exe did not reach its main loop within 30 s", ReadAll(outPath));
    }

    if (!GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        TerminateProcess(process.hProcess, 9);
        return Fail("Ctrl+C cannot be sent (error " + std::to_string(GetLastError()) +
                        "): run this under a terminal (script -qec ...)",
                    ReadAll(outPath));
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, 20000);
    DWORD code = 259;
    GetExitCodeProcess(process.hProcess, &code);
    const std::string output = ReadAll(outPath);
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 9);
        return Fail("zrk-tq.exe still runs 20 s after Ctrl+C", output);
    }
    if (code != 0)
        return Fail("exit code " + std::to_string(code) + " after Ctrl+C, expected 0", output);
    if (output.find("Main cycle period over") == std::string::npos)
        return Fail("no statistics line: the program did not end through its shutdown", output);
    std::printf("zrk-tq.exe ended with 0 on Ctrl+C, through its shutdown\n");
    DeleteFileA(outPath.c_str());
    DeleteFileA((folder + "\\CONFIG.INI").c_str());
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
