# What `cmake --install` puts where, and the Debian package CPack builds from the same rules
# (`cmake --build --preset release --target package`).
set(kv4410_linux ${PROJECT_SOURCE_DIR}/packaging/linux)
set(kv4410_docs ${PROJECT_BINARY_DIR}/packaging)

# Folders the install makes are 0755 whatever the umask of the one who builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

find_program(KV4410_HELP2MAN help2man)
find_program(KV4410_GZIP gzip)
if(NOT KV4410_HELP2MAN OR NOT KV4410_GZIP)
  message(FATAL_ERROR "The manual pages need help2man and gzip: run scripts/install-deps.sh")
endif()

# The man pages carry the date of the changelog's latest entry, not the day of the build, so
# that two builds of one version give the same pages.
file(STRINGS ${kv4410_linux}/changelog kv4410_changelog_trailers REGEX "^ -- .*>  ")
list(GET kv4410_changelog_trailers 0 kv4410_release_trailer)
string(REGEX REPLACE "^ -- .*>  " "" kv4410_release_date "${kv4410_release_trailer}")
execute_process(
  COMMAND date -u -d "${kv4410_release_date}" +%s
  OUTPUT_VARIABLE kv4410_release_epoch
  OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kv4410_linux}/changelog)

# gzip -n leaves out the name and time stamp, so the compressed file depends on the text alone.
add_custom_command(
  OUTPUT ${kv4410_docs}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E copy ${kv4410_linux}/changelog ${kv4410_docs}/changelog
  COMMAND ${KV4410_GZIP} -9nf ${kv4410_docs}/changelog
  DEPENDS ${kv4410_linux}/changelog
  VERBATIM)
set(kv4410_doc_outputs ${kv4410_docs}/changelog.gz)

# A man page in section 1 made from the program's --help and --version. The GUI program answers
# both before it opens a window, so no display is needed; offscreen keeps Qt from looking for
# one all the same. Leak checks of a sanitized build would only add noise to a help text.
function(kv4410_man_page program name)
  set(page ${kv4410_docs}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${kv4410_docs}
    COMMAND
      ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
      SOURCE_DATE_EPOCH=${kv4410_release_epoch} ${KV4410_HELP2MAN} --no-info --name=${name}
      --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${KV4410_GZIP} -9nf ${page}
    DEPENDS ${program}
    VERBATIM)
  set(kv4410_doc_outputs ${kv4410_doc_outputs} ${page}.gz PARENT_SCOPE)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS kv4410ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
kv4410_man_page(kv4410ctl "command-line access to the KV4410 evaluation board")
if(TARGET kv4410)
  install(TARGETS kv4410 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  kv4410_man_page(kv4410 "desktop control program for the KV4410 evaluation board")
  install(FILES ${kv4410_linux}/kv4410.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${kv4410_linux}/kv4410.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
# udev reads /usr/lib/udev/rules.d (the same folder as /lib/udev/rules.d on Debian 12).
install(FILES ${kv4410_linux}/60-kv4410.rules DESTINATION lib/udev/rules.d)
# The folder the programs search for the firmware file after their own directory.
install(FILES ${kv4410_linux}/README.firmware DESTINATION ${CMAKE_INSTALL_DATADIR}/kv4410)

# Debian's changelog of a native package and the machine-readable copyright file.
install(FILES ${kv4410_docs}/changelog.gz ${kv4410_linux}/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
add_custom_target(kv4410_package_docs ALL DEPENDS ${kv4410_doc_outputs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kv4410)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KV4410 Software Team <kv4410-software@kv4410.org>")
# The synopsis, then the extended description: lines of at most 79 columns once CPack indents
# them by one space, an empty line between paragraphs.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control software for the KV4410 PMU evaluation board")
string(
  JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "The KV4410 is a four-channel parametric measurement unit (PMU): each channel"
  "forces a voltage or a current onto a device pin and measures current or"
  "voltage. This package holds the software for its evaluation board, which is"
  "connected by USB."
  ""
  "kv4410 is the Qt desktop program. It writes every register of the chip, reads"
  "registers back decoded, sets channels up in volts and amps, runs voltage"
  "sweeps and measure-versus-time runs with plots, and runs a pass/fail test of"
  "all four channels."
  ""
  "kv4410ctl is the command-line tool on the same core, for scripts: it decodes"
  "words, converts levels, talks to the board, runs sweeps, time runs and the"
  "channel test, and lists the connected boards."
  ""
  "The Python module kv4410 is the same core for scripts and notebooks, with"
  "results as NumPy arrays."
  ""
  "Both programs can talk to a simulated board instead of the USB board. The"
  "firmware file the board needs does not come with this package.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Depends from the libraries the programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module is built for Debian's python3 and takes NumPy at run time, which the
# libraries it links do not say.
if(TARGET kv4410_python)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.11), python3 (<< 3.12), python3-numpy")
endif()
include(CPack)
