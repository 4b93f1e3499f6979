// Proves that Wine really runs programs of this architecture: a missing 32-bit
// Wine exits 0 and prints nothing, which must never count as a pass.
#include <cstdio>

int main() {
    std::printf("vantrel-sanity %s ok\n", sizeof(void*) == 8 ? "win64" : "win32");
    return 42;
}
