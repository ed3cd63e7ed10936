# Writes a Windows icon file holding the PNG pictures given, each kept as
# it is (Windows reads PNG icons since Vista):
#   cmake -DICON=<out.ico> -DPICTURES=<a.png;b.png> -P icon.cmake
# Every picture is square; its side is read from the PNG's own header. CMake
# writes no zero bytes, so the icon's header is written by printf and the
# pictures are added with cmake -E cat.

# The bytes of an integer, least significant first, as printf's octal escapes.
function(little_endian value bytes out)
  set(escapes "")
  foreach(i RANGE 1 ${bytes})
    math(EXPR byte "${value} % 256")
    math(EXPR value "${value} / 256")
    math(EXPR high "${byte} / 64")
    math(EXPR middle "(${byte} / 8) % 8")
    math(EXPR low "${byte} % 8")
    string(APPEND escapes "\\${high}${middle}${low}")
  endforeach()
  set(${out} "${escapes}" PARENT_SCOPE)
endfunction()

list(LENGTH PICTURES count)
little_endian(0 2 reserved)
little_endian(1 2 type)
little_endian(${count} 2 number)
set(header "${reserved}${type}${number}")
math(EXPR offset "6 + 16 * ${count}")
foreach(picture IN LISTS PICTURES)
  file(READ ${picture} signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(FATAL_ERROR "${picture} is not a PNG file")
  endif()
  # The width: the first field of the IHDR chunk, big-endian, at byte 16.
  file(READ ${picture} width_hex OFFSET 16 LIMIT 4 HEX)
  math(EXPR side "0x${width_hex}")
  if(side GREATER 256)
    message(FATAL_ERROR "${picture}: an icon is at most 256 pixels wide")
  endif()
  file(SIZE ${picture} size)
  # 256 is written as 0; no palette; one plane of 32 bits.
  math(EXPR stored_side "${side} % 256")
  little_endian(${stored_side} 1 width)
  little_endian(0 2 colours)
  little_endian(1 2 planes)
  little_endian(32 2 bits)
  little_endian(${size} 4 length)
  little_endian(${offset} 4 at)
  string(APPEND header "${width}${width}${colours}${planes}${bits}${length}${at}")
  math(EXPR offset "${offset} + ${size}")
endforeach()

execute_process(COMMAND printf "${header}" OUTPUT_FILE ${ICON}.header COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E cat ${ICON}.header ${PICTURES}
  OUTPUT_FILE ${ICON} COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${ICON}.header)
