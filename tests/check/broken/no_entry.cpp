// A shared library that is no plug-in: it exports neither kestrinAPI nor
// kestrinEntry.
extern "C" __attribute__((visibility("default"))) int notAPlugin(void) { return 0; }
