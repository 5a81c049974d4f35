# Writes OUTPUT: a C++ file defining the string_view NAME (in
# vask::host::web) with the bytes of INPUT. Run as cmake -P at build time.
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
file(WRITE "${OUTPUT}.tmp" "// Generated from ${INPUT}; do not edit.\n#include \"host/studio/WebAssets.h\"\nnamespace vask::host::web {\nnamespace {\nconst char kBytes[] = {${bytes} 0};\n}\nconst std::string_view ${NAME}(kBytes, sizeof kBytes - 1);\n}  // namespace vask::host::web\n")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
