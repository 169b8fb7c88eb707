// A program that reaches for the library's machinery: the LZW coders are no
// part of the installed interface, so this must not compile against an
// installed Tavkit.
#include <tavkit/gif/detail/GIFLZW.h>

int main() {
  return 0;
}
