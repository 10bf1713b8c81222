# What the unit needs beyond the programs and the library: the service's
# systemd unit, the configuration, the manual pages, the bash completion and
# the pkg-config file, and the two Debian packages that cpack -G DEB builds
# from them: faultwright (component runtime) and faultwright-dev (dev).

# A package build installs to /usr, the unit to /lib/systemd/system and the
# configuration to /etc/faultwright; an installation into a scratch prefix
# keeps everything below it.
set(FAULTWRIGHT_UNIT_DIR "lib/systemd/system" CACHE STRING "Where the systemd unit installs")
set(FAULTWRIGHT_CONFIG_DIR "${CMAKE_INSTALL_SYSCONFDIR}/faultwright" CACHE STRING
  "Where the configuration installs, the service's catalogue")
option(FAULTWRIGHT_PACKAGE "A package build: the manual pages are required" OFF)
if(IS_ABSOLUTE "${FAULTWRIGHT_CONFIG_DIR}")
  set(FAULTWRIGHT_CONFIG_FULL_DIR "${FAULTWRIGHT_CONFIG_DIR}")
else()
  set(FAULTWRIGHT_CONFIG_FULL_DIR "${CMAKE_INSTALL_PREFIX}/${FAULTWRIGHT_CONFIG_DIR}")
endif()
set(FAULTWRIGHT_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc")

configure_file(${CMAKE_CURRENT_LIST_DIR}/fwservice.service.in ${PROJECT_BINARY_DIR}/fwservice.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/fwservice.service DESTINATION ${FAULTWRIGHT_UNIT_DIR} COMPONENT runtime)

# The sample configuration twice: as shipped, and as the service's own, which
# the engineer edits (a conffile).
file(GLOB FAULTWRIGHT_CONFIG_FILES ${PROJECT_SOURCE_DIR}/config/*.xml)
install(FILES ${FAULTWRIGHT_CONFIG_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/faultwright/config COMPONENT runtime)
install(FILES ${FAULTWRIGHT_CONFIG_FILES} DESTINATION ${FAULTWRIGHT_CONFIG_DIR} COMPONENT runtime)

# Bash completes both programs from one file, loaded under either name.
foreach(program IN ITEMS fwerror fwinspect)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/faultwright-completion.bash DESTINATION
    ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program} COMPONENT runtime)
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/faultwright.pc.in ${PROJECT_BINARY_DIR}/faultwright.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/faultwright.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# The manual pages, from their scdoc sources in docs/.
find_program(SCDOC scdoc)
if(NOT SCDOC AND FAULTWRIGHT_PACKAGE)
  message(FATAL_ERROR "a package build needs scdoc for the manual pages")
endif()
if(SCDOC)
  file(GLOB manual_sources ${PROJECT_SOURCE_DIR}/docs/*.scd)
  set(manuals)
  foreach(source IN LISTS manual_sources)
    get_filename_component(page ${source} NAME_WE)  # fwerror.1.scd: fwerror
    get_filename_component(name ${source} NAME)
    string(REGEX REPLACE "\\.scd$" "" name ${name})  # fwerror.1
    string(REGEX REPLACE "^.*\\." "" section ${name})
    set(manual ${PROJECT_BINARY_DIR}/man/${name}.gz)
    add_custom_command(OUTPUT ${manual}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
      COMMAND sh -c "'${SCDOC}' < '${source}' | gzip -9n > '${manual}'"
      DEPENDS ${source} VERBATIM)
    list(APPEND manuals ${manual})
    install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section} COMPONENT runtime)
  endforeach()
  add_custom_target(manuals ALL DEPENDS ${manuals})
endif()

# The packages' copyright and changelog, as Debian asks of every package.
foreach(package IN ITEMS faultwright faultwright-dev)
  set(component runtime)
  if(package STREQUAL "faultwright-dev")
    set(component dev)
  endif()
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${FAULTWRIGHT_DOC_DIR}/${package} COMPONENT ${component})
  install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${FAULTWRIGHT_DOC_DIR}/${package}
    COMPONENT ${component})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/${package}.lintian-overrides DESTINATION
    ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${package} COMPONENT ${component} OPTIONAL)
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in ${PROJECT_BINARY_DIR}/changelog.Debian @ONLY)
file(REMOVE ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
execute_process(COMMAND gzip -9n -k ${PROJECT_BINARY_DIR}/changelog.Debian RESULT_VARIABLE gzipped)
if(NOT gzipped EQUAL 0)
  message(FATAL_ERROR "cannot compress changelog.Debian")
endif()

# The configuration under /etc is the engineer's: dpkg keeps the changes.
set(conffiles)
foreach(file IN LISTS FAULTWRIGHT_CONFIG_FILES)
  get_filename_component(name ${file} NAME)
  string(APPEND conffiles "${FAULTWRIGHT_CONFIG_FULL_DIR}/${name}\n")
endforeach()
file(WRITE ${PROJECT_BINARY_DIR}/conffiles "${conffiles}")

# The packages are ours to build only when we are the project being built.
if(PROJECT_IS_TOP_LEVEL)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME faultwright)
  set(CPACK_PACKAGE_VENDOR "Faultwright")
  set(CPACK_PACKAGE_CONTACT "Faultwright developers <developers@faultwright.example>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fault reporting of the guidance unit")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_COMPONENTS_ALL runtime dev)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
  set(CPACK_DEBIAN_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://faultwright.example/")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME faultwright)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION admin)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "init-system-helpers (>= 1.52)")
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${PROJECT_BINARY_DIR}/conffiles ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/prerm
    ${CMAKE_CURRENT_LIST_DIR}/postrm)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "fault reporting of the guidance unit: service, tool and inspector
 fwservice receives the faults that the unit's components raise and clear,
 applies them to the error catalogue and publishes the live states in shared
 memory; fwerror raises or clears one fault by name; fwinspect checks a
 configuration, prints the catalogue and watches the live errors.")
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME faultwright-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libpugixml-dev")
  set(CPACK_COMPONENT_DEV_DESCRIPTION "fault reporting of the guidance unit: static library and headers
 The client that raises and clears faults in the diagnostic service, the
 error catalogue and the reader of the live error states, as a static
 library with its headers, a CMake package (find_package(Faultwright)) and a
 pkg-config file (faultwright).")
  include(CPack)
endif()

if(FAULTWRIGHT_TESTS AND TARGET fwerror)
  add_test(NAME Completion COMMAND ${CMAKE_CURRENT_LIST_DIR}/completion-test.sh ${PROJECT_BINARY_DIR})
endif()
