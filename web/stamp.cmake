# stamp.cmake -- writes the service worker with the list of the page's files and a version made
# from their contents, so that each build that changes any of them has a cache of its own.
# SPDX-License-Identifier: MIT
# cmake -DOUT=FOLDER -DFILES=a;b;c -DTEMPLATE=sw.js.in -P stamp.cmake
set(sums "")
set(quoted "")
foreach(f IN LISTS FILES)
  file(SHA256 ${OUT}/${f} sum)
  string(APPEND sums "${sum} ${f}\n")
  list(APPEND quoted "\"${f}\"")
endforeach()
string(SHA256 GRIDCITY_BUILD "${sums}")
string(SUBSTRING ${GRIDCITY_BUILD} 0 16 GRIDCITY_BUILD)
list(JOIN quoted ", " GRIDCITY_FILES)
configure_file(${TEMPLATE} ${OUT}/sw.js @ONLY)
