// Linked into the programs of a sanitizer build only: shared libraries stay
// loaded until the process ends. Mesa and SDL unload driver modules at exit
// while memory they allocated is still referenced from them, which the leak
// checker would report as leaks from "<unknown module>", a name no
// suppression can match; kept loaded, that memory stays reachable and any
// real leak in those libraries is reported under their own names.
#include <dlfcn.h>

extern "C" int dlclose(void* handle)
{
    (void)handle;
    return 0;
}
