/* The seed of the Mach-O loader's fuzzer, and a module its tests run: the
   smallest macOS module with what the loader handles. An entry that calls
   imports through lazy stubs (strlen, sin), pointers that need sliding (the
   table of names), and an initialiser. Made by fuzz/make-seeds.sh. */
#include <stddef.h>

size_t strlen(const char*);
double sin(double);

static const char* names[] = {"one", "three"};
static int started;
static void start(void) { started = 1; }
__attribute__((section("__DATA,__mod_init_func"), used)) static void (*init)(void) = start;

/* Answers strlen(names[action & 1]) + 10 once initialised + 100 sin(action). */
int c4d_main(int action, void* a, void* b, void* c) {
  (void)a;
  (void)b;
  (void)c;
  return (int)strlen(names[action & 1]) + 10 * started + (int)(100 * sin(action));
}
