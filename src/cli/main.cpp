#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#endif

#include "cli/cli_app.h"
#include "common/utf8_path.h"

#ifdef _WIN32

// Windows hands the arguments over in UTF-16 only through wmain; they are
// turned into UTF-8 like every path in Krelt. Output is UTF-8 with plain
// '\n' line ends, so it reads the same as on other systems, and the console
// is told to show it as UTF-8. Standard input is read as bytes, for '-'.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  std::vector<std::string> utf8;
  for (int i = 1; i < argc; ++i) utf8.push_back(krelt::PathToUtf8(argv[i]));
  return krelt::cli::Run(utf8);
}

#else

int main(int argc, char** argv) {
  return krelt::cli::Run(std::vector<std::string>(argv + 1, argv + argc));
}

#endif
