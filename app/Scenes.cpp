// Construction of the scenes by slot, for start-up.
#include "Scenes.h"

#include "P_Part.h"

P_Part* CreateScene(int slot)
{
    switch (slot) {
    default: return nullptr;
    }
}
