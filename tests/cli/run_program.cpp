#include "cli/evmctl_process.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace evm::test {

#ifdef _WIN32
namespace {
// One argument quoted the way the C runtime splits a command line.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out.push_back(c);
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

HANDLE Inheritable(const wchar_t* name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  std::wstring commandLine;
  for (const std::string& arg : argv) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += Quoted(PathFromUtf8(arg).wstring());
  }
  HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE outHandle = Inheritable(out.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE errHandle = Inheritable(err.c_str(), GENERIC_WRITE, CREATE_ALWAYS);
  int code = -1;
  if (in != INVALID_HANDLE_VALUE && outHandle != INVALID_HANDLE_VALUE &&
      errHandle != INVALID_HANDLE_VALUE) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = outHandle;
    startup.hStdError = errHandle;
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                       &startup, &process)) {
      WaitForSingleObject(process.hProcess, INFINITE);
      DWORD exitCode = 0;
      if (GetExitCodeProcess(process.hProcess, &exitCode)) code = static_cast<int>(exitCode);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  for (HANDLE h : {in, outHandle, errHandle}) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
  return code;
}
#else
int RunProgram(const std::vector<std::string>& argv, const std::filesystem::path& out,
               const std::filesystem::path& err) {
  std::vector<std::string> args = argv;
  std::vector<char*> cargv;
  for (std::string& a : args) cargv.push_back(a.data());
  cargv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int inFd = ::open("/dev/null", O_RDONLY);
    const int outFd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int errFd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (inFd < 0 || outFd < 0 || errFd < 0) ::_exit(126);
    ::dup2(inFd, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    ::execv(cargv[0], cargv.data());
    ::_exit(127);
  }
  if (pid < 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif

}  // namespace evm::test
