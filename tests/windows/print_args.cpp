// A child for the Win32 runner test: writes each argument after the first, as the C runtime
// split it, into the file the first names, one per line between brackets; exits with the
// number of arguments it wrote. Given "--wait" alone, it waits a minute instead (a tool for the
// front end to end). Given "--echo", it writes each further argument to its standard output
// ending in a carriage return, then to its standard error ending in a line feed, by turns.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--wait") == 0) {
    Sleep(60000);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "--echo") == 0) {
    for (int i = 2; i < argc; ++i) {
      std::FILE* stream = i % 2 == 0 ? stdout : stderr;
      std::fprintf(stream, "%s%c", argv[i], i % 2 == 0 ? '\r' : '\n');
      std::fflush(stream);
    }
    return argc - 2;
  }
  if (argc < 2) return 100;
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 101;
  for (int i = 2; i < argc; ++i) std::fprintf(out, "[%s]\n", argv[i]);
  std::fclose(out);
  return argc - 2;
}
