// Linked, in the sanitizer build only, into the test programs that open
// link windows. When a page closes, the web engine deletes one of its own
// objects through a type of another size (every frame inside
// libQt6WebEngineCore), which AddressSanitizer stops on as a new-delete type
// mismatch. That one check is off in these programs; every other check stays
// on, and the other programs, pelmora included, keep this one too.
// ASAN_OPTIONS, read after this, still wins.
extern "C" const char* __asan_default_options() { return "new_delete_type_mismatch=0"; }
