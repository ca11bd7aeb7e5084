// Screenshots as PNG files: DIR/shot-TIME.png in the --out folder.
#include "Shots.h"

#include "PngWriter.h"

#include "runtime.h"

namespace host {

bool SaveShot(const std::string& name, const std::vector<uint8_t>& rgb, int width, int height, std::string& error)
{
    const std::string path = runtime::CurrentOptions().outDir + "/shot-" + name + ".png";
    return WritePng(path, rgb.data(), width, height, kFastPng, error);
}

}  // namespace host
