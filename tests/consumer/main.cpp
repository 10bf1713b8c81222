// Loads a configuration directory through the installed library and names
// the first error of its catalogue: the umbrella header must compile on its
// own, and the library must link with only what its package asks for.
#include <Faultwright.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  Faultwright::CErrorDatabase catalogue(argv[1]);
  if (catalogue.Errors().empty()) return 1;
  const Faultwright::CError& first = catalogue.Errors().front();
  std::printf("%zu errors, the first %s\n", catalogue.Errors().size(),
              Faultwright::ErrorIdentifierText(first.Code(), first.Type()).c_str());
  return 0;
}
