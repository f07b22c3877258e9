/* A function that reads errno: compiled against Debian's C headers it names
 * glibc's __errno_location, which macOS's C library does not have (there it
 * is __error). A module holding it must fail to link (make test-mac). */
#include <errno.h>

__attribute__((visibility("default"))) int tolvane_last_error(void) { return errno; }
