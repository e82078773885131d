// A child for the Win32 runner test: writes each argument after the first, as the C runtime
// split it, into the file the first names, one per line between brackets; exits with the
// number of arguments it wrote. Given "--wait" alone, it waits a minute instead (a tool for the
// front end to end).
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--wait") == 0) {
    Sleep(60000);
    return 0;
  }
  if (argc < 2) return 100;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 101;
  for (int i = 2; i < argc; ++i) std::fprintf(out, "[%s]\n", argv[i]);
  std::fclose(out);
  return argc - 2;
}
