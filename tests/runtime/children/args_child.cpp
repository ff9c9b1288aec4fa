// Stands in for a browser: writes its arguments after the first, one a line,
// to the file the first names. The file appears whole or not at all.
#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    const std::string name = argv[1];
    const std::string partial = name + ".part";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    if (!out)
        return 1;
    for (int i = 2; i < argc; ++i)
        std::fprintf(out, "%s\n", argv[i]);
    std::fclose(out);
    return std::rename(partial.c_str(), name.c_str()) == 0 ? 0 : 1;
}
