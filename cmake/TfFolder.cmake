# tf_folder(<target> SOURCES <files...> HEADERS <files...> [USES <targets...>] [USES_PUBLIC <targets...>])
#
# One folder of Source/ as a static library; files are named relative to the calling folder.
# Includes are rooted at Source/ ("Document/Folder.h"), yet no target sees Source/ itself: each
# target publishes its own headers as forwarding headers in a build folder of its own, and reaches
# only the headers of the targets it names. An include that crosses a layer the wrong way therefore
# fails to compile. USES_PUBLIC names the targets whose headers this target's headers include.
function(tf_publish_headers target root)
  foreach(hdr ${ARGN})
    set(real ${CMAKE_CURRENT_SOURCE_DIR}/${hdr})
    file(RELATIVE_PATH rooted ${CMAKE_SOURCE_DIR}/Source ${real})
    file(CONFIGURE OUTPUT ${root}/${rooted} CONTENT "#pragma once\n#include \"${real}\"\n" @ONLY)
  endforeach()
endfunction()

function(tf_folder target)
  cmake_parse_arguments(TF "" "" "SOURCES;HEADERS;USES;USES_PUBLIC" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  tf_publish_headers(${target} ${root} ${TF_HEADERS})
  add_library(${target} STATIC ${TF_SOURCES} ${TF_HEADERS})
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC tf_kv ${TF_USES_PUBLIC} PRIVATE ${TF_USES})
endfunction()

# A folder of headers only (constants shared by several layers).
function(tf_header_folder target)
  cmake_parse_arguments(TF "" "" "HEADERS" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  tf_publish_headers(${target} ${root} ${TF_HEADERS})
  add_library(${target} INTERFACE)
  target_include_directories(${target} INTERFACE ${root})
endfunction()
