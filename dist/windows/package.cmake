# Packs the release folder of a Windows build (its install rules, stripped)
# into <NAME>-win64.zip, which unpacks to one folder of that name, and, with
# makensis, into the installer <NAME>-setup.exe, both in BUILD_DIR. Run by
# the target windows_packages (dist/windows/CMakeLists.txt), which passes
# every variable used here.

set(stage ${BUILD_DIR}/windows-release)
set(folder ${stage}/${NAME}-win64)
file(REMOVE_RECURSE ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${folder} --strip
  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# Every file, in one order, so that two packings of one build are alike.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${folder} ${folder}/*)
list(SORT files)

set(zip ${BUILD_DIR}/${NAME}-win64.zip)
set(listed "")
foreach(file IN LISTS files)
  list(APPEND listed ${NAME}-win64/${file})
endforeach()
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip "--mtime=${RELEASE_DATE} 12:00:00Z"
    ${listed}
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)

if(NOT MAKENSIS)
  message(FATAL_ERROR "makensis is missing (Debian package: nsis); the installer is not made")
endif()

# What the installer copies and the uninstaller takes away again: these
# files alone, then each of their folders, deepest first, where it is empty.
set(install_lines "")
set(uninstall_lines "")
set(folders "")
set(current_folder "-")
foreach(file IN LISTS files)
  get_filename_component(dir ${file} DIRECTORY)
  string(REPLACE "/" "\\" windows_file "${file}")
  string(REPLACE "/" "\\" windows_dir "${dir}")
  if(NOT dir STREQUAL current_folder)
    string(APPEND install_lines "SetOutPath \"$INSTDIR\\${windows_dir}\"\n")
    set(current_folder "${dir}")
  endif()
  string(APPEND install_lines "File \"${folder}/${file}\"\n")
  string(APPEND uninstall_lines "Delete \"$INSTDIR\\${windows_file}\"\n")
  while(dir)
    list(APPEND folders "${dir}")
    get_filename_component(dir ${dir} DIRECTORY)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
# Longer paths first: a folder before the folder holding it.
list(SORT folders ORDER DESCENDING)
foreach(dir IN LISTS folders)
  string(REPLACE "/" "\\" windows_dir "${dir}")
  string(APPEND uninstall_lines "RMDir \"$INSTDIR\\${windows_dir}\"\n")
endforeach()
file(WRITE ${stage}/install-files.nsh "${install_lines}")
file(WRITE ${stage}/uninstall-files.nsh "${uninstall_lines}")

set(installer ${BUILD_DIR}/${NAME}-setup.exe)
file(REMOVE ${installer})
execute_process(COMMAND ${MAKENSIS} -V2 -NOCD
    "-DVERSION=${VERSION}" "-DVERSION_DOTTED=${VERSION_DOTTED}" "-DPUBLISHER=${PUBLISHER}"
    "-DCOPYRIGHT=${COPYRIGHT}" "-DICON=${ICON}" "-DLICENCE=${folder}/LICENSE.txt"
    "-DINSTALL_FILES=${stage}/install-files.nsh" "-DUNINSTALL_FILES=${stage}/uninstall-files.nsh"
    "-DOUTFILE=${installer}" ${NSIS_SCRIPT}
  WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
