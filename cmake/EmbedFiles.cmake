# Writes OUTPUT, a C++ source that holds each file of FILES (a list of
# SYMBOL=PATH) as a null-terminated char array SYMBOL of the namespace
# Faultwright. Run with cmake -P at build time.
set(source "// Made at build time from the files it holds; do not edit.\nnamespace Faultwright {\n")
foreach(entry IN LISTS FILES)
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 symbol)
  list(GET parts 1 path)
  file(READ "${path}" bytes HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${bytes}")
  string(APPEND source "extern const char ${symbol}[];\nconst char ${symbol}[] = {\n${bytes}'\\0'};\n")
endforeach()
string(APPEND source "}  // namespace Faultwright\n")
file(WRITE "${OUTPUT}.new" "${source}")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
