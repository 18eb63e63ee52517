// Program start.
#include "app/program.h"

int main(int argc, char** argv) { return holmtex::runProgram(argc, argv); }
