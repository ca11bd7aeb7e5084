// The texture families of the show. Every function draws one picture from
// code, deterministically, at the size the show loads it; the catalogue in
// Catalog.h names them and says which ones tile.
#pragma once

#include "Image.h"

namespace datagen {

class Font;

// Full-screen space pictures (SpacePictures.cpp).
Image MakeSpace1();
Image MakeSpace2();

// Full-screen dark pictures with bright structures (DarkPictures.cpp).
Image MakeCyber();
Image MakeGangbang();

// Text cards on black (Cards.cpp).
Image MakeCredits1(const Font& font);
Image MakeCredits2(const Font& font);
Image MakeTitle(const Font& font);

// Particle sprites (Sprites.cpp).
Image MakeParticle1();
Image MakeParticle2();

// Sphere-map environment pictures (EnvMaps.cpp).
Image MakeHedraEnv();
Image MakeBlobbyEnv();
Image MakeHoofdpijnEnv();

// Tiling surface textures: machinery (TechTextures.cpp) ...
Image MakePlane();
Image MakeHitek();
// ... and organic ones (OrganicTextures.cpp).
Image MakePaddo();
Image MakeGrainfield();
Image MakeBlaat();
Image MakeKots();

}  // namespace datagen
