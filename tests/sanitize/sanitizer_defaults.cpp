// Linked into every program of the sanitizer build (the game, the tests, the asset generator): the
// sanitizers' settings CMakeLists.txt chose, so a program run by hand reports as it does under
// CTest, and dynamically loaded libraries kept loaded to the end.

extern "C" {

const char* __asan_default_options() { return KORVAN_ASAN_OPTIONS; }
const char* __ubsan_default_options() { return KORVAN_UBSAN_OPTIONS; }
const char* __lsan_default_options() { return KORVAN_LSAN_OPTIONS; }

// Libraries stay loaded until the program ends. Mesa's software driver (swrast_dri.so), which
// SDL's EGL loads, is unloaded when the video system shuts down, leaving blocks it still held:
// LeakSanitizer checks after that, finds no library they belong to ("<unknown module>"), and no
// suppression can name them. Kept loaded, its blocks stay reachable from its own data, and any
// leak of a library is reported under that library's name.
int dlclose(void* handle) {
    (void)handle;
    return 0;
}

}  // extern "C"
