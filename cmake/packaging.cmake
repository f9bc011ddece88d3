# The Debian package: `cpack -G DEB` in a Release tree gives panterm_VERSION_ARCH.deb.
#
#   /usr/lib/panterm/           Panterm_MW, teqc, panterm-target, setup-state, and the
#                               panel's own pages beside it (keypad.teq, alphapad.teq, MsgBox.teq)
#   /usr/bin/                   teqc and panterm-target (links), Panterm_MW (starts the
#                               panel from its state directory)
#   /usr/share/panterm/         the first settings (pterm.xml) and the demo project
#   /lib/systemd/system/        panterm.service; /etc/default/panterm its environment
#   /var/lib/panterm/           state, made by the postinst (setup-state): the link
#                               Panterm_MW through which the panel runs, and so the
#                               place of pterm.xml, pterm.log and ptermsCo.xml
#
# The files of packaging/ are the package's own: unit, maintainer scripts,
# copyright, man pages, lintian overrides.

set(PANTERM_PACKAGE_MAINTAINER "Panterm maintainers <maintainers@panterm.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(_pkg ${CMAKE_SOURCE_DIR}/packaging)
set(_gen ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS Panterm_MW teqc panterm-target RUNTIME DESTINATION usr/lib/panterm)
# A stripped install (cpack) drops the compilers' version notes as well.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program Panterm_MW teqc panterm-target)
      execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/usr/lib/panterm/\${program}\" COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()")
install(PROGRAMS ${_pkg}/setup-state DESTINATION usr/lib/panterm)
install(FILES ${CMAKE_BINARY_DIR}/keypad.teq ${CMAKE_BINARY_DIR}/alphapad.teq ${CMAKE_BINARY_DIR}/MsgBox.teq
  DESTINATION usr/lib/panterm)
install(PROGRAMS ${_pkg}/Panterm_MW DESTINATION usr/bin)
file(MAKE_DIRECTORY ${_gen}/bin)
foreach(program teqc panterm-target)
  file(CREATE_LINK ../lib/panterm/${program} ${_gen}/bin/${program} SYMBOLIC)
  install(FILES ${_gen}/bin/${program} DESTINATION usr/bin)
endforeach()
install(FILES ${_pkg}/pterm.xml DESTINATION usr/share/panterm)
install(FILES ${CMAKE_SOURCE_DIR}/demo/start.html ${CMAKE_SOURCE_DIR}/demo/pump.html
  ${CMAKE_SOURCE_DIR}/demo/values.txt ${CMAKE_SOURCE_DIR}/demo/Plant.tcr ${CMAKE_BINARY_DIR}/demo-root/frame.teq
  ${CMAKE_BINARY_DIR}/demo-root/Plant1.teq ${CMAKE_BINARY_DIR}/demo-root/Plant2.teq
  ${CMAKE_BINARY_DIR}/demo-root/Plant3.teq ${CMAKE_BINARY_DIR}/demo-root/Plant4.teq
  ${CMAKE_BINARY_DIR}/demo-root/Plant5.teq ${CMAKE_BINARY_DIR}/demo-root/MsgBox.teq
  ${CMAKE_SOURCE_DIR}/demo/alarms.html ${CMAKE_SOURCE_DIR}/demo/alarms.txt
  ${CMAKE_BINARY_DIR}/demo-root/Alarms.teq ${CMAKE_BINARY_DIR}/demo-root/History.teq
  DESTINATION usr/share/panterm/demo)
install(FILES ${_pkg}/panterm.service DESTINATION lib/systemd/system)
install(FILES ${_pkg}/panterm.default DESTINATION etc/default RENAME panterm)

# Documentation, compressed as Debian wants it (gzip -n: no name or time stamp).
string(TIMESTAMP PANTERM_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC) # honours SOURCE_DATE_EPOCH
configure_file(${_pkg}/changelog.in ${_gen}/changelog @ONLY)
function(panterm_gzip source output)
  execute_process(COMMAND gzip -9nc INPUT_FILE ${source} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${source} failed")
  endif()
endfunction()
panterm_gzip(${_gen}/changelog ${_gen}/changelog.gz)
set(_manpages "")
foreach(page Panterm_MW teqc panterm-target)
  panterm_gzip(${_pkg}/man/${page}.1 ${_gen}/${page}.1.gz)
  list(APPEND _manpages ${_gen}/${page}.1.gz)
endforeach()
# Changes to these files take a new cmake run.
set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${_pkg}/changelog.in ${_pkg}/man/Panterm_MW.1 ${_pkg}/man/teqc.1 ${_pkg}/man/panterm-target.1)
install(FILES ${_manpages} DESTINATION usr/share/man/man1)
install(FILES ${_gen}/changelog.gz ${_pkg}/copyright ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/docs/display.md
  DESTINATION usr/share/doc/panterm)
install(FILES ${_pkg}/lintian-overrides DESTINATION usr/share/lintian/overrides RENAME panterm)

# Hardening that the Debian tools check for: read-only relocations after start-up,
# and checked string and memory functions in the Release build.
foreach(program Panterm_MW teqc panterm-target)
  target_link_options(${program} PRIVATE -Wl,-z,relro -Wl,-z,now)
endforeach()
if(NOT CMAKE_CXX_FLAGS MATCHES "_FORTIFY_SOURCE")
  foreach(target ${PANTERM_SUBSYSTEMS} teqc_text Panterm_MW teqc panterm-target)
    target_compile_definitions(${target} PRIVATE $<$<CONFIG:Release>:_FORTIFY_SOURCE=2>)
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME panterm)
set(CPACK_PACKAGE_VENDOR "Panterm developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator-panel runtime for Linux touch screens")
set(CPACK_PACKAGE_DESCRIPTION "Panterm loads operator pages (HTML pages with byte-coded TEQ
pictures), draws them, keeps their process values live by polling the
controller over HTTP and lets the operator act through touch and keys.
The package starts the panel at boot on the local display as the user
panterm (panterm.service), and brings it back when it fails. It also
installs the TEQ compiler teqc and the target simulator panterm-target.")
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # panterm_1.5.12_amd64.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PANTERM_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; adduser is for the postinst; SDL2,
# loaded with dlopen when a window opens (the service's display), and
# libmosquitto, loaded when a broker is set, are named here since
# dpkg-shlibdeps does not see them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libsdl2-2.0-0, libmosquitto1")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_pkg}/postinst ${_pkg}/prerm ${_pkg}/postrm ${_pkg}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
if(PANTERM_DEB_ARCHITECTURE) # set by a cross toolchain file
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${PANTERM_DEB_ARCHITECTURE})
endif()
include(CPack)
