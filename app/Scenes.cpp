// Construction of the scenes by slot, for start-up.
#include "Scenes.h"

#include "P_Part1.h"

P_Part* CreateScene(int slot)
{
    switch (slot) {
    case 0: return new P_Part1();
    default: return nullptr;
    }
}
