// Stands in for a program of the product in the packaging test: answers --version and
// --help the way help2man reads them.
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    const char *slash = std::strrchr(argv[0], '/');
    const char *name = slash ? slash + 1 : argv[0];
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s 0.1.0\n", name);
        return 0;
    }
    std::printf("Usage: %s [OPTIONS]\n\nA stand-in.\n\nOptions:\n"
                "  --help     show this help\n  --version  show the version\n",
                name);
    return 0;
}
