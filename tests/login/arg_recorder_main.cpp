// Stands in for a browser that Quorly starts from a desktop entry: writes the arguments
// after the first one into the file the first one names, each ended by a NUL byte, so
// a test sees exactly what the program was started with. The file appears whole.
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string target = argv[1];
    const std::string part = target + ".part";
    std::FILE* out = std::fopen(part.c_str(), "wb");
    if (!out)
        return 1;
    for (int i = 2; i < argc; ++i) {
        std::fputs(argv[i], out);
        std::fputc('\0', out);
    }
    if (std::fclose(out) != 0)
        return 1;
    return std::rename(part.c_str(), target.c_str()) == 0 ? 0 : 1;
}
