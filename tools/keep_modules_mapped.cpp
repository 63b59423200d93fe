// Linked into every program of the sanitizer build. A library unloaded before
// the leak check at exit leaves its leaks as "<unknown module>" frames that no
// suppression can name and no one can read; kept mapped, every leak names the
// library it came from.
#include <dlfcn.h>

extern "C" int dlclose(void*) { return 0; }
