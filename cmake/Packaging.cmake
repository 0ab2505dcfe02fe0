# Debian packages with CPack: make package (cpack -G DEB in the build folder).
#
#   quillstep         the game in its window, its desktop entry, icon,
#                     AppStream metainfo and manual page
#   quillstep-server  the dedicated host and the headless player, which link
#                     no graphics, the systemd unit, the example
#                     configuration and the socket buffer limits the
#                     service needs (a sysctl.d file and the postinst
#                     that applies it)
#   quillstep-data    the maps, which both of the others play: a file can
#                     belong to one package only, and a LAN host often has
#                     both installed
#
# Each install() rule names its component: game, server or data for a file
# that make install and the packages put in the same place, `local` for one
# that only make install puts in place, because the packages carry it in
# Debian's form (the EXCLUDE_FROM_ALL rules below, which only a component's
# own installation, as CPack's, runs): programs in /usr/games, as Debian
# wants games and their servers, manual pages compressed, the unit naming
# the server there, the example in the package's own doc folder.

set(QUILLSTEP_PACKAGE_PREFIX /usr)

# The packages' version is the program's own, so dpkg and --version agree.
file(STRINGS ${CMAKE_SOURCE_DIR}/src/game/CommandLine.h version_line REGEX "QUILLSTEP_VERSION = ")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" QUILLSTEP_PACKAGE_VERSION "${version_line}")

# Installed in /usr/games, the programs still find the maps in
# ../share/quillstep beside them.
install(TARGETS quillstep RUNTIME DESTINATION games COMPONENT game EXCLUDE_FROM_ALL)
install(TARGETS quillstep-server quillstep-headless RUNTIME DESTINATION games COMPONENT server EXCLUDE_FROM_ALL)

# Manual pages gzipped without a name or time stamp, as Debian wants them.
set(packaged_manpages)
foreach(page IN LISTS manpages)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND gzip -9nkf ${page}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND packaged_manpages ${page}.gz)
endforeach()
add_custom_target(packaged-manpages ALL DEPENDS ${packaged_manpages})
install(FILES ${CMAKE_BINARY_DIR}/quillstep.6.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT game EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_BINARY_DIR}/quillstep-server.6.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man6 COMPONENT server EXCLUDE_FROM_ALL)

# The unit starts the server where the package puts it.
function(quillstep_configure_packaged_unit)
  set(CMAKE_INSTALL_FULL_BINDIR ${QUILLSTEP_PACKAGE_PREFIX}/games)
  configure_file(${CMAKE_SOURCE_DIR}/desktop/quillstep-server.service.in
    ${CMAKE_BINARY_DIR}/packaged/quillstep-server.service @ONLY)
endfunction()
quillstep_configure_packaged_unit()
install(FILES ${CMAKE_BINARY_DIR}/packaged/quillstep-server.service
  DESTINATION lib/systemd/system COMPONENT server EXCLUDE_FROM_ALL)
install(FILES docs/server.toml.example
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillstep-server/examples COMPONENT server EXCLUDE_FROM_ALL)

# Every package carries the copyright and the changelog in its doc folder.
set(changelog ${CMAKE_BINARY_DIR}/packaged/changelog)
add_custom_command(OUTPUT ${changelog}.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/cmake/debian/changelog ${changelog}
  COMMAND gzip -9nf ${changelog}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog
  VERBATIM)
add_custom_target(packaged-changelog ALL DEPENDS ${changelog}.gz)
set(packages game quillstep server quillstep-server data quillstep-data)
while(packages)
  list(POP_FRONT packages component package)
  install(FILES cmake/debian/copyright ${changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component} EXCLUDE_FROM_ALL)
  string(TOUPPER ${component} COMPONENT)
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_NAME ${package})
  # Debian files a game's server and data under games as well, and lintian
  # wants every package with programs in /usr/games there.
  set(CPACK_DEBIAN_${COMPONENT}_PACKAGE_SECTION games)
endwhile()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillstep)
set(CPACK_PACKAGE_VERSION ${QUILLSTEP_PACKAGE_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillstep maintainers <maintainers@users.noreply.c-seed-41506a19.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${QUILLSTEP_PACKAGE_PREFIX})
set(CPACK_STRIP_FILES ON)
# Folders as dpkg expects them, whatever the umask of whoever packages.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL game server data)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
# Dependencies come from the libraries the programs link (dpkg-shlibdeps),
# so the server's cannot name a graphics library it does not use.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The game and the server depend on quillstep-data of their own version.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_GAME_DEPENDS data)
set(CPACK_COMPONENT_SERVER_DEPENDS data)
# The server's socket buffer limits apply at installation, not only at the
# next boot.
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/cmake/debian/server/postinst)

set(CPACK_COMPONENT_GAME_DESCRIPTION
"real-time arena shooter for the local network
Several players on a LAN each steer an avatar, seen from above, across a
map of 64 by 64 cells: the arrow keys move one cell at a time in eight
directions, the space bar fires. One machine hosts and decides the rules;
every machine simulates movement and bullets itself.

Games on the local network are listed by themselves; bots at three levels
fill a game; matches have score and time limits and go round seven maps.

This package holds the game in its window.")
set(CPACK_COMPONENT_SERVER_DESCRIPTION
"dedicated host of Quillstep, a real-time arena shooter
Quillstep is a real-time arena shooter for the local network. This package
holds its dedicated host, quillstep-server, with a console, bans, bots,
match limits and map rotation, a systemd service and an example
configuration; and quillstep-headless, a player without a window driven by
commands on its standard input, for scripts and tests.

Neither program links OpenGL, SDL or a font library, so both run on a
machine without graphics.")
set(CPACK_COMPONENT_DATA_DESCRIPTION
"maps of Quillstep, a real-time arena shooter
Quillstep is a real-time arena shooter for the local network. This package
holds the maps that the game (package quillstep) and its dedicated host
(package quillstep-server) play.")

include(CPack)
