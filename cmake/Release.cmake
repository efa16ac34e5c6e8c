# What `cmake --install` puts on a system and what `make package` wraps into
# a Debian package: the programs, the udev rule, the desktop entry and its
# AppStream metainfo, the icon, the manuals, man pages, bash completion and
# the package's own documents.

set(CVKEYS_APP_ID "example.corvane.CVKeys")
set(_release ${CMAKE_BINARY_DIR}/release)

# udev reads its rules only from /usr/lib, /etc and /run: a package puts the
# rule beside the system's, a local install among the administrator's, and
# any other prefix (a home folder) keeps it for the user to copy.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(_udev_default "lib/udev/rules.d")
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
  set(_udev_default "/etc/udev/rules.d")
else()
  set(_udev_default "${CMAKE_INSTALL_DATADIR}/cvkeys/udev")
endif()
set(CVKEYS_UDEV_RULES_DIR "${_udev_default}" CACHE STRING "Where the udev rule is installed")
install(FILES ${CMAKE_BINARY_DIR}/generated/70-cvkeys.rules DESTINATION ${CVKEYS_UDEV_RULES_DIR})
# A source install by root takes effect at once; a package does this in
# its postinst, and a staged install (DESTDIR) never does.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND EXISTS /run/udev AND \"\$ENV{USER}\" STREQUAL \"root\")
    execute_process(COMMAND udevadm control --reload-rules)
    execute_process(COMMAND udevadm trigger --subsystem-match=hidraw --subsystem-match=usb --action=add)
  endif()")

# Man pages and the package changelog, compressed as Debian wants them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_gz_files)
foreach(_page cvkeys cvkeys-cli)
  configure_file(docs/man/${_page}.1 ${_release}/man/${_page}.1 @ONLY)
  add_custom_command(OUTPUT ${_release}/man/${_page}.1.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${_release}/man/${_page}.1
    DEPENDS ${_release}/man/${_page}.1 VERBATIM)
  list(APPEND _gz_files ${_release}/man/${_page}.1.gz)
  install(FILES ${_release}/man/${_page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(res/packaging/changelog ${_release}/changelog COPYONLY)
add_custom_command(OUTPUT ${_release}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${_release}/changelog
  DEPENDS ${_release}/changelog VERBATIM)
list(APPEND _gz_files ${_release}/changelog.gz)
add_custom_target(release_files ALL DEPENDS ${_gz_files})
install(FILES ${_release}/changelog.gz res/packaging/copyright README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(FILES res/completion/cvkeys-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

if(CVKEYS_BUILD_GUI)
  install(FILES res/desktop/${CVKEYS_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The metainfo names every product of the model table as a modalias.
  add_executable(make_metainfo tools/make-metainfo/make_metainfo.cpp)
  target_link_libraries(make_metainfo PRIVATE cvk_device cvk_warnings)
  set(MODALIASES "@MODALIASES@")
  configure_file(res/desktop/${CVKEYS_APP_ID}.metainfo.xml.in ${_release}/${CVKEYS_APP_ID}.metainfo.xml.in @ONLY)
  add_custom_command(OUTPUT ${_release}/${CVKEYS_APP_ID}.metainfo.xml
    COMMAND make_metainfo ${_release}/${CVKEYS_APP_ID}.metainfo.xml.in ${_release}/${CVKEYS_APP_ID}.metainfo.xml
    DEPENDS make_metainfo ${_release}/${CVKEYS_APP_ID}.metainfo.xml.in VERBATIM)

  # The icon as SVG and in the hicolor theme's bitmap sizes.
  add_executable(render_icon tools/render-icon/render_icon.cpp)
  target_link_libraries(render_icon PRIVATE Qt6::Gui Qt6::Svg cvk_warnings)
  set(_icon_sizes 16 22 24 32 48 64 128 256)
  set(_icons)
  foreach(_size IN LISTS _icon_sizes)
    list(APPEND _icons ${_release}/icons/${_size}x${_size}/apps/cvkeys.png)
  endforeach()
  add_custom_command(OUTPUT ${_icons}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
      HOME=${CMAKE_BINARY_DIR}/manual-home XDG_CACHE_HOME=${CMAKE_BINARY_DIR}/manual-home/cache
      XDG_CONFIG_HOME=${CMAKE_BINARY_DIR}/manual-home/config
      $<TARGET_FILE:render_icon> ${PROJECT_SOURCE_DIR}/res/icons/cvkeys.svg ${_release}/icons ${_icon_sizes}
    DEPENDS render_icon res/icons/cvkeys.svg
    COMMENT "Rendering the icon" VERBATIM)
  add_custom_target(desktop_files ALL DEPENDS ${_release}/${CVKEYS_APP_ID}.metainfo.xml ${_icons})
  install(FILES ${_release}/${CVKEYS_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES res/icons/cvkeys.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(_size IN LISTS _icon_sizes)
    install(FILES ${_release}/icons/${_size}x${_size}/apps/cvkeys.png
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
endif()

# make package: a Debian package of everything above.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cvkeys)
set(CPACK_PACKAGE_VENDOR Lumrick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lumrick <support@corvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure the buttons of Corvane pointing pads")
# CPack puts the summary first and indents the rest itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "CV Keys shows a picture of the attached Corvane pad and lets the user
give every button a function (clicks, scrolling, zoom, key combinations,
multimedia keys, text snippets, a typed signature), edits the pointer
settings, writes the configuration into the pad with verification, keeps
named profiles and updates the pad's firmware. cvkeys-cli does the same
from the command line, for scripts and for setting up many pads.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.corvane.example/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, xkb-data")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/res/packaging/postinst ${PROJECT_SOURCE_DIR}/res/packaging/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
