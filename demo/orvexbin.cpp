// The demonstration suite's back-end program: a real, dynamically linked program (it uses zlib,
// so the installer's library check has something to look at) that says which tool started it.
#include <zlib.h>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    const char *tool = "orvex";
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--tool=", 7) == 0)
            tool = argv[i] + 7;
    }
    const unsigned long check =
            crc32(0L, reinterpret_cast<const Bytef *>(tool), static_cast<uInt>(std::strlen(tool)));
    std::printf("Tavrin Orvex demonstration back end, started as \"%s\" (zlib %s, check %08lx).\n",
                tool, zlibVersion(), check);
    return 0;
}
