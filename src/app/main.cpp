#include <cstdio>

int main() {
  std::fputs("Quillpost: not built yet\n", stderr);
  return 1;
}
