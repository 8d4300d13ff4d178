#include "host/process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
extern char** environ;
#endif

#ifdef _WIN32
namespace {

std::wstring wide(const std::string& text)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1)
        MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
    return out;
}

// One argument as the program's start-up code splits the command line again: quoted when it
// holds blanks or quotes, with the backslashes before a quote doubled.
std::wstring quoted(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            slashes++;
            continue;
        }
        out.append(c == L'"' ? 2 * slashes + 1 : slashes, L'\\');
        slashes = 0;
        out += c;
    }
    out.append(2 * slashes, L'\\');
    return out + L"\"";
}

// A file the started program inherits as its output; the caller's own handle for "".
HANDLE output(const std::string& path, DWORD standard)
{
    if (path.empty())
        return GetStdHandle(standard);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    return CreateFileW(wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int start_program(const std::vector<std::string>& args, bool wait, const ProgramPlace& place)
{
    if (args.empty())
        return -1;
    std::wstring line;
    for (const std::string& a : args)
        line += (line.empty() ? L"" : L" ") + quoted(wide(a));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    bool redirected = !place.out.empty() || !place.err.empty();
    if (redirected) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output(place.out, STD_OUTPUT_HANDLE);
        startup.hStdError = output(place.err, STD_ERROR_HANDLE);
    }
    std::wstring folder = wide(place.folder);
    PROCESS_INFORMATION process = {};
    bool started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, redirected, 0, nullptr,
                                  folder.empty() ? nullptr : folder.c_str(), &startup, &process);
    if (!place.out.empty() && startup.hStdOutput != INVALID_HANDLE_VALUE)
        CloseHandle(startup.hStdOutput);
    if (!place.err.empty() && startup.hStdError != INVALID_HANDLE_VALUE)
        CloseHandle(startup.hStdError);
    if (!started)
        return -1;
    DWORD status = 0;
    bool ended = !wait || (WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                           GetExitCodeProcess(process.hProcess, &status));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended ? int(status) : -1;
}

#else

int start_program(const std::vector<std::string>& args, bool wait, const ProgramPlace& place)
{
    if (args.empty())
        return -1;
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!place.folder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, place.folder.c_str());
    if (!place.out.empty())
        posix_spawn_file_actions_addopen(&actions, 1, place.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!place.err.empty())
        posix_spawn_file_actions_addopen(&actions, 2, place.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed)
        return -1;
    if (!wait)
        return 0;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

#endif
