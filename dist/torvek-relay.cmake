# The relay's own Debian package, torvek-relay, beside the game's: the
# program in /usr/bin (a server, not a game), its systemd service and the
# service's options in /etc/default, its manual page in section 1 (a command
# any user may run, as the programs in /usr/bin have), and the game's web
# page for it to serve when one was built. Its files are the install
# component "relay", which only this package installs, laid out from / since
# the service and its options live outside /usr. Included by
# dist/CMakeLists.txt once the game's package is configured.
if(NOT TARGET torvek-relay)
  return()
endif()

# Where systemd looks for the services of packages (/lib/systemd/system on
# Debian 12, /usr/lib/systemd/system after it), as a path from /.
pkg_get_variable(TORVEK_RELAY_UNIT_DIR systemd systemdsystemunitdir)
if(NOT TORVEK_RELAY_UNIT_DIR)
  set(TORVEK_RELAY_UNIT_DIR /lib/systemd/system)
endif()
string(REGEX REPLACE "^/+" "" unit_dir "${TORVEK_RELAY_UNIT_DIR}")

# The page web.sh lays out; an install may name another in the environment
# variable of the same name (empty: none), as release.sh does.
set(TORVEK_RELAY_PAGE ${CMAKE_SOURCE_DIR}/build-web/page CACHE PATH
  "The built web page the torvek-relay package carries, when it has an index.html")

set(made ${CMAKE_CURRENT_BINARY_DIR}/relay-package)
configure_file(torvek-relay.1.in ${made}/torvek-relay.1 @ONLY)
configure_file(torvek-relay.changelog.in ${made}/changelog @ONLY)
configure_file(torvek-relay.copyright.in ${made}/copyright @ONLY)
# The maintainer scripts and the list of configuration files, under the names
# dpkg gives them.
foreach(script postinst prerm postrm)
  configure_file(torvek-relay.${script} ${made}/${script} COPYONLY)
endforeach()
file(WRITE ${made}/conffiles "/etc/default/torvek-relay\n")

install(TARGETS torvek-relay RUNTIME DESTINATION usr/bin COMPONENT relay EXCLUDE_FROM_ALL)
install(FILES torvek-relay.service DESTINATION ${unit_dir} COMPONENT relay EXCLUDE_FROM_ALL)
install(FILES torvek-relay.default DESTINATION etc/default RENAME torvek-relay
  COMPONENT relay EXCLUDE_FROM_ALL)
install(FILES ${made}/copyright DESTINATION usr/share/doc/torvek-relay COMPONENT relay EXCLUDE_FROM_ALL)
# The compressed pages and the page, as dist/CMakeLists.txt installs the
# game's pages.
install(CODE "
  string(MD5 place \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(compressed \"${made}/installing-\${place}\")
  file(MAKE_DIRECTORY \"\${compressed}\")
  foreach(page man/man1/torvek-relay.1 doc/torvek-relay/changelog)
    get_filename_component(name \${page} NAME)
    get_filename_component(folder \${page} DIRECTORY)
    execute_process(COMMAND gzip -9 -n -c \"${made}/\${name}\"
      OUTPUT_FILE \"\${compressed}/\${name}.gz\" COMMAND_ERROR_IS_FATAL ANY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/usr/share/\${folder}\" TYPE FILE
      FILES \"\${compressed}/\${name}.gz\")
  endforeach()
  file(REMOVE_RECURSE \"\${compressed}\")

  set(page \"${TORVEK_RELAY_PAGE}\")
  if(DEFINED ENV{TORVEK_RELAY_PAGE})
    set(page \"\$ENV{TORVEK_RELAY_PAGE}\")
  endif()
  if(page AND EXISTS \"\${page}/index.html\")
    file(INSTALL \"\${page}/\" DESTINATION \"\${CMAKE_INSTALL_PREFIX}/usr/share/torvek-relay/page\"
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
      DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
        WORLD_READ WORLD_EXECUTE)
  endif()
" COMPONENT relay EXCLUDE_FROM_ALL)

# The package's own CPack configuration, made from the game's
# (cpack --config CPackRelayConfig.cmake, .ci/setup.sh).
configure_file(torvek-relay.cpack.in ${CMAKE_BINARY_DIR}/CPackRelayConfig.cmake @ONLY)
