# Cross-compiles for 64-bit Windows with Debian's mingw-w64:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DTORVEK_WINDOWS_PREFIX=<the prefix .ci/deps.sh built>
# The -posix compilers are used: the default ones have the win32 thread model,
# without std::thread or std::mutex. Everything is linked statically (libgcc,
# libstdc++, winpthread), so a program needs no DLL beyond Windows' own.
# SDL2, SDL2_image and GoogleTest are found in TORVEK_WINDOWS_PREFIX (or the
# environment variable of that name), both by find_package and by pkg-config.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TORVEK_MINGW_TRIPLET x86_64-w64-mingw32)

# This file is read again for every try_compile, where only the environment
# and the variables listed here are passed on.
if(NOT TORVEK_WINDOWS_PREFIX AND DEFINED ENV{TORVEK_WINDOWS_PREFIX})
  set(TORVEK_WINDOWS_PREFIX "$ENV{TORVEK_WINDOWS_PREFIX}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TORVEK_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
find_program(CMAKE_C_COMPILER NAMES ${TORVEK_MINGW_TRIPLET}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TORVEK_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TORVEK_MINGW_TRIPLET}-windres REQUIRED)
# The compilers' names end in -posix, from which CMake cannot tell the
# binutils' prefix; the host's own ar and ranlib would be taken instead.
foreach(tool AR RANLIB NM OBJCOPY OBJDUMP STRIP)
  string(TOLOWER ${tool} name)
  find_program(CMAKE_${tool} NAMES ${TORVEK_MINGW_TRIPLET}-${name} REQUIRED)
endforeach()

# Wine runs what was built, for gtest_discover_tests and ctest: its 64-bit
# loader itself, not Debian's wrapper, which warns on every start when 32-bit
# Wine is missing; in a Wine prefix of the build folder's own (the first
# start there takes about 10 s) unless WINEPREFIX names one; without Wine's
# own diagnostics unless WINEDEBUG asks for them.
find_program(TORVEK_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(TORVEK_WINE NAMES wine64 wine)
if(TORVEK_WINE AND NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  if(DEFINED ENV{WINEPREFIX})
    set(TORVEK_WINEPREFIX "$ENV{WINEPREFIX}")
  else()
    set(TORVEK_WINEPREFIX "${CMAKE_BINARY_DIR}/wine")
  endif()
  if(DEFINED ENV{WINEDEBUG})
    set(TORVEK_WINEDEBUG "$ENV{WINEDEBUG}")
  else()
    set(TORVEK_WINEDEBUG -all)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env WINEPREFIX=${TORVEK_WINEPREFIX}
    WINEDEBUG=${TORVEK_WINEDEBUG} ${TORVEK_WINE})
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${TORVEK_MINGW_TRIPLET})
if(TORVEK_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${TORVEK_WINDOWS_PREFIX})
  # SDL's static .pc names every Windows library it needs in its --libs,
  # and SDL2main with -mwindows (and -Dmain=SDL_main in its --cflags): a GUI
  # program entered through SDL's WinMain. The CMake targets
  # (SDL2::SDL2-static, SDL2::SDL2main) leave that choice to the program.
  set(ENV{PKG_CONFIG_LIBDIR} ${TORVEK_WINDOWS_PREFIX}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
  set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -static)
