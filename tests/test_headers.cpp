// The program that owns the test suites' precompiled headers
// (CMakeLists.txt): it only has to compile with the suites' flags.
int main() { return 0; }
