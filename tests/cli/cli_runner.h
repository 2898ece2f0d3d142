#pragma once

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include "common/utf8_path.h"
#include "support/files.h"

namespace krelt::test {

// Result of one krelt-cli run: exit code and what it printed.
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

#ifdef _WIN32

inline std::wstring Widen(const std::string& utf8) { return PathFromUtf8(utf8).native(); }

// One argument quoted so that the C runtime's parser gives it back unchanged:
// backslashes are doubled only where a quote follows them.
inline std::wstring QuoteArgument(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

inline HANDLE CreateOutputFile(const std::filesystem::path& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Starts the program with the arguments, its output going to the two files
// and its input coming from inPath unless that is empty; the exit code, or
// -1 (and a test failure naming the system's error, with what the program
// printed to stderr) when it could not be run.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& outPath,
                      const std::filesystem::path& errPath,
                      const std::filesystem::path& inPath = {}) {
  std::wstring commandLine = QuoteArgument(Widen(program));
  for (const std::string& arg : args) commandLine += L' ' + QuoteArgument(Widen(arg));
  const HANDLE out = CreateOutputFile(outPath);
  const HANDLE err = CreateOutputFile(errPath);
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE in = inPath.empty() ? GetStdHandle(STD_INPUT_HANDLE)
                                   : CreateFileW(inPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                 &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  DWORD exitCode = static_cast<DWORD>(-1);
  DWORD error = ERROR_SUCCESS;
  if (out == INVALID_HANDLE_VALUE || err == INVALID_HANDLE_VALUE) {
    error = GetLastError();
  } else if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                            nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  } else {
    error = GetLastError();
  }
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!inPath.empty() && in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (error != ERROR_SUCCESS) {
    ADD_FAILURE() << "could not run " << program << ": system error " << error << "\n"
                  << FileText(errPath);
  }
  return static_cast<int>(exitCode);
}

#else

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs the program through the shell, its output going to the two files
// and its input coming from inPath unless that is empty; the exit code, or
// -1 when it did not exit normally.
inline int RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::filesystem::path& outPath,
                      const std::filesystem::path& errPath,
                      const std::filesystem::path& inPath = {}) {
  std::string command = Quote(program);
  // Appended piece by piece: GCC 12 gives a false -Wrestrict warning for
  // "literal" + std::string at -O3.
  for (const std::string& arg : args) {
    command += ' ';
    command += Quote(arg);
  }
  command += " >";
  command += Quote(outPath.string());
  command += " 2>";
  command += Quote(errPath.string());
  if (!inPath.empty()) {
    command += " <";
    command += Quote(inPath.string());
  }
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#endif

// The bundled samples and the pictures from independent tools.
inline const std::filesystem::path kSamples = std::filesystem::path(KRELT_SOURCE_DIR) / "samples";
inline const std::filesystem::path kToolPictures =
    std::filesystem::path(KRELT_SOURCE_DIR) / "tests" / "data";

// The lines of printed text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Runs krelt-cli with the arguments (UTF-8), capturing stdout and stderr in
// files inside workDir; standard input is inPath's content when one is given.
inline CliRun RunCli(const std::vector<std::string>& args,
                     const std::filesystem::path& workDir,
                     const std::filesystem::path& inPath = {}) {
  const auto outPath = workDir / "cli.stdout";
  const auto errPath = workDir / "cli.stderr";
  CliRun run;
  run.exitCode = RunProgram(KRELT_CLI_PATH, args, outPath, errPath, inPath);
  run.out = FileText(outPath);
  run.err = FileText(errPath);
  return run;
}

// Copies sample (a file of samples/) into dir and converts it there with
// `convert --quiet` and the options; returns the GD file's path.
inline std::filesystem::path ConvertSample(const std::filesystem::path& dir,
                                           const std::string& sample,
                                           std::vector<std::string> options = {}) {
  namespace fs = std::filesystem;
  fs::copy_file(fs::path(KRELT_SOURCE_DIR) / "samples" / sample, dir / sample,
                fs::copy_options::overwrite_existing);
  std::vector<std::string> args = {"convert", "--quiet"};
  args.insert(args.end(), options.begin(), options.end());
  args.push_back(PathToUtf8(dir / sample));
  const CliRun run = RunCli(args, dir);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  return dir / (PathToUtf8(fs::path(sample).stem()) + ".GD");
}

}  // namespace krelt::test
