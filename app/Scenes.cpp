// Construction of the scenes by slot, for start-up.
#include "Scenes.h"

#include "P_Part1.h"
#include "P_Part2.h"
#include "P_Part3.h"
#include "P_Part4.h"
#include "P_Part5.h"

P_Part* CreateScene(int slot)
{
    switch (slot) {
    case 0: return new P_Part1();
    case 1: return new P_Part2();
    case 2: return new P_Part3();
    case 3: return new P_Part4();
    case 4: return new P_Part5();
    default: return nullptr;
    }
}
