# A header-only library for a cross build, which finds no package of the
# building machine's: the imported target NAME whose include folder, in the
# build folder, holds only a link to that library's folder where Debian puts
# it (HEADER, "boost/version.hpp", names a header in it), never the whole of
# the machine's own /usr/include.
function(torvek_host_headers name header)
  if(TARGET ${name})
    return()
  endif()
  string(REGEX REPLACE "/.*" "" folder ${header})
  find_path(TORVEK_HOST_${folder}_DIR ${header} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(include ${CMAKE_BINARY_DIR}/host-include/${folder})
  file(MAKE_DIRECTORY ${include})
  file(CREATE_LINK ${TORVEK_HOST_${folder}_DIR}/${folder} ${include}/${folder} SYMBOLIC)
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${name} SYSTEM INTERFACE ${include})
endfunction()
