#include <cstdio>

int main(int, char**) {
    std::puts("kelvor-tool: convert, refresh and dump tree files (coming soon)");
    return 0;
}
