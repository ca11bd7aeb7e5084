// Small helpers that the scenes share: releasing a texture and deleting an
// owned object, each leaving the pointer null and skipping a null one, and
// the warning for a layer whose draw failed in a frame that goes on.
#pragma once

template <typename T>
void ReleaseTexture(T*& texture)
{
    if (texture) {
        texture->Release();
        texture = nullptr;
    }
}

template <typename T>
void DeleteObject(T*& object)
{
    delete object;
    object = nullptr;
}

// A message that one of the scene's draws returned and that the scene lets
// pass, the frame going on without that layer (a refused mesh, say): told
// once on stderr, naming the scene, so that the layer does not vanish without
// a word. Each distinct message is told once a run; null is nothing to tell.
void WarnOfALayerLeftOut(const char* scene, const char* message);
