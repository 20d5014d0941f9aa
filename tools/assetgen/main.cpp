// kestrava-assetgen OUTDIR [--preview DIR] [--icons DIR]
#include <cstdio>
#include <cstring>
#include <string>

#include "assetgen.h"

int main(int argc, char** argv)
{
    std::string out;
    std::string preview;
    std::string icons;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc) {
            preview = argv[++i];
        } else if (std::strcmp(argv[i], "--icons") == 0 && i + 1 < argc) {
            icons = argv[++i];
        } else if (argv[i][0] != '-' && out.empty()) {
            out = argv[i];
        } else {
            std::fprintf(stderr, "usage: kestrava-assetgen OUTDIR [--preview DIR] [--icons DIR]\n");
            return 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: kestrava-assetgen OUTDIR [--preview DIR] [--icons DIR]\n");
        return 2;
    }
    if (!write_images(out) || !write_sounds(out) || !write_music(out)) {
        std::fprintf(stderr, "kestrava-assetgen: could not write the data files into %s\n", out.c_str());
        return 1;
    }
    if (!preview.empty() && (!write_image_previews(preview) || !write_sound_previews(preview))) {
        std::fprintf(stderr, "kestrava-assetgen: could not write the previews into %s\n", preview.c_str());
        return 1;
    }
    if (!icons.empty() && !write_icons(icons)) {
        std::fprintf(stderr, "kestrava-assetgen: could not write the icons into %s\n", icons.c_str());
        return 1;
    }
    return 0;
}
