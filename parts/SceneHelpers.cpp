// The scenes' warning for a layer left out of a frame (see SceneHelpers.h).
#include "SceneHelpers.h"

#include <cstdio>
#include <set>
#include <string>

void WarnOfALayerLeftOut(const char* scene, const char* message)
{
    static std::set<std::string> told;
    if (!message || !told.insert(std::string(scene) + message).second) return;
    std::fprintf(stderr, "%s: warning: a layer is left out of its frames: %s\n", scene, message);
}
