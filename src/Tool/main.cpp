// fwerror: raises or clears one error in the diagnostic service by name.
#include <cstdio>

#include "Tool/CCommandLine.h"

int main(int argc, char** argv) { return Faultwright::CCommandLine(stdout, stderr).Run(argc, argv); }
