// Small helpers that the scenes share for their members: releasing a texture
// and deleting an owned object, each leaving the pointer null and skipping a
// null one.
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
