// kestrel: the engine's command-line tool. Dispatches to one command.
#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kestrel COMMAND ...\n");
    return 1;
  }
  std::fprintf(stderr, "kestrel: unknown command \"%s\"\n", argv[1]);
  return 1;
}
