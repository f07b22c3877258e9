/* One more exported function, for a deliberately wrong macOS module that
 * tools/check-macho.sh must refuse (make test-mac). */
__attribute__((visibility("default"))) int tolvane_extra_export(void) { return 1; }
