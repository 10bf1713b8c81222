// fwinspect: checks configurations, prints the catalogue, and shows and
// decodes the live error states of the unit.
#include "Inspect/CInspector.h"

int main(int argc, char** argv) { return Faultwright::CInspector().Run(argc, argv); }
