// kestrin: runs the Strainmark and Rimshaper plug-ins on meshes outside the
// host, through the host simulator.
#include "command_line.h"

int main(int argc, char** argv) { return kestrin::tool::runCommandLine(argc, argv); }
