# Installing and packaging. The application is installed as the build lays it out under
# build/products, so an installed copy and a built one behave the same:
#
#   <prefix>/lib/orvane-lite-updater/Orvane Lite Updater.app/   the updater application
#   <prefix>/bin/orvane-lite-updater                            link to its host executable
#   <prefix>/share/man/man1/orvane-lite-updater.1               the manual page
#   <prefix>/share/bash-completion/completions/orvane-lite-updater
#
# Every executable and module finds libPlatform.so relative to itself ($ORIGIN), so the
# application works wherever the prefix is.

set(KVL_INSTALL_APP_DIR "lib/orvane-lite-updater")
set(KVL_HOST_RELATIVE_PATH "Orvane Lite Updater.app/Contents/MacOS/Orvane Lite Updater")

install(DIRECTORY "${KVL_PRODUCTS_DIR}/Orvane Lite Updater.app"
  DESTINATION "${KVL_INSTALL_APP_DIR}"
  USE_SOURCE_PERMISSIONS)
# The executables and modules, stripped when installing with --strip (and in the package).
set(KVL_INSTALLED_BINARIES
  "Orvane Lite Updater.app/Contents/MacOS/Orvane Lite Updater"
  "Orvane Lite Updater.app/Contents/MacOS/launchctl"
  "Orvane Lite Updater.app/Contents/Frameworks/libPlatform.so"
  "Orvane Lite Updater.app/Contents/Resources/UpdateAssistant.bundle/Contents/MacOS/UpdateAssistant")
set(quoted_binaries "")
foreach(binary IN LISTS KVL_INSTALLED_BINARIES)
  string(APPEND quoted_binaries " \"${binary}\"")
endforeach()
install(CODE "
  set(app \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${KVL_INSTALL_APP_DIR}\")
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(binary IN ITEMS${quoted_binaries})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${app}/\${binary}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()
  set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
  file(MAKE_DIRECTORY \"\${bin}\")
  file(CREATE_LINK \"../${KVL_INSTALL_APP_DIR}/${KVL_HOST_RELATIVE_PATH}\" \"\${bin}/orvane-lite-updater\" SYMBOLIC)
")

set(KVL_HOST_SHARE "${PROJECT_SOURCE_DIR}/host/OrvaneLiteUpdater/share")
install(FILES "${KVL_HOST_SHARE}/orvane-lite-updater.1" DESTINATION share/man/man1)
install(FILES "${KVL_HOST_SHARE}/orvane-lite-updater.bash-completion"
  DESTINATION share/bash-completion/completions RENAME orvane-lite-updater)

set(CPACK_PACKAGE_NAME "orvane-lite-updater")
set(CPACK_PACKAGE_VENDOR "Orvane")
set(CPACK_PACKAGE_CONTACT "Orvane Lite updater team <updater@orvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Orvane Lite updater with its update assistant plug-in")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "admin")
set(CPACK_STRIP_FILES ON)
include(CPack)
