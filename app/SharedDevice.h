// The shell's one rendering device, the only piece of the shell that the
// resources, effects and scenes see (with the clock of Timer.h). The shell
// creates it at start-up and releases it at shutdown.
#pragma once

#include <d3d8.h>

extern IDirect3DDevice8* g_device;
