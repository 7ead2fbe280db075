# Writes OUTPUT, a header defining the string constant NAME as the SHA-256 of the files in FILES
# (comma-separated, relative to BASE; each file's path and contents), so that code can tell when any
# of them changed without anyone bumping a number by hand.
# usage: cmake -DOUTPUT=... -DNAME=... -DBASE=... -DFILES=a,b,c -P HashSources.cmake
string(REPLACE "," ";" files "${FILES}")
set(listing "")
foreach(file IN LISTS files)
  file(SHA256 "${BASE}/${file}" digest)
  string(APPEND listing "${file} ${digest}\n")
endforeach()
string(SHA256 digest "${listing}")
file(WRITE "${OUTPUT}" "// Written by the build (cmake/HashSources.cmake) from:\n// ${FILES}\n#pragma once\n\n"
     "inline constexpr char ${NAME}[] = \"${digest}\";\n")
