# What `cmake --install` puts where, and the Debian package CPack builds from the same rules
# (`cmake --build --preset release --target package`).
set(kv4410_linux ${PROJECT_SOURCE_DIR}/packaging/linux)

install(TARGETS kv4410ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kv4410)
  install(TARGETS kv4410 RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${kv4410_linux}/kv4410.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${kv4410_linux}/kv4410.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
# udev reads /usr/lib/udev/rules.d (the same folder as /lib/udev/rules.d on Debian 12).
install(FILES ${kv4410_linux}/60-kv4410.rules DESTINATION lib/udev/rules.d)
# The folder the programs search for the firmware file after their own directory.
install(FILES ${kv4410_linux}/README.firmware DESTINATION ${CMAKE_INSTALL_DATADIR}/kv4410)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kv4410)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "KV4410 evaluation board developers <kv4410-dev@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "KV4410 evaluation board software (kv4410, kv4410ctl)")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop control program and command-line tool for the KV4410 four-channel PMU evaluation board.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
# Depends from the libraries the programs link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
