// build/datagen: writes every file the show loads (textures, meshes, terrain
// maps, the soundtrack) into a data folder, from code.
#include <cstdio>
#include <cstring>
#include <string>

#include "Generator.h"

namespace {
void Usage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: datagen [--out DIR] [--force] [--preview DIR] [--icon FILE]\n"
                 "  --out DIR      folder to write into (default: Data)\n"
                 "  --force        replace files that are already there\n"
                 "  --preview DIR  also write contact_sheet.png and soundtrack.png into DIR\n"
                 "  --icon FILE    also write the show's icon, 256x256 pixels, as a PNG file\n");
}
}  // namespace

int main(int argc, char** argv)
{
    datagen::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--force") {
            options.force = true;
        } else if ((arg == "--out" || arg == "--preview" || arg == "--icon") && i + 1 < argc) {
            (arg == "--out" ? options.outDir : arg == "--preview" ? options.previewDir : options.iconPath) = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "datagen: unknown or incomplete argument '%s'\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }
    return datagen::RunGenerator(options, stdout);
}
