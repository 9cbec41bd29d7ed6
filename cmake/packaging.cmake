# Install rules and packages. Two components: "launchers", everything a
# product folder takes (programs, tavcore with its header and package files,
# manuals, README, sample settings), and "standin", the dry-run VM library,
# kept in a folder and archive of its own so that it never lands beside the
# programs where it would shadow the product's own VM.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(NORVANE_PACKAGE norvane-launchers)

# Before anything is installed: the time that installed and packaged files
# carry (SOURCE_DATE_EPOCH, the last commit's time when unset).
install(CODE "set(norvane_source \"${PROJECT_SOURCE_DIR}\")
include(\"${PROJECT_SOURCE_DIR}/cmake/source-date-epoch.cmake\")"
  ALL_COMPONENTS)

if(WIN32)
  # A Windows product folder: programs and DLL in bin, the rest in folders of
  # their own beside it.
  set(inst_bin bin)
  set(inst_lib lib)
  set(inst_include include)
  set(inst_doc doc)
  set(inst_man man)
  set(inst_standin standin)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(package_system win32)
  else()
    set(package_system win64)
  endif()
else()
  set(inst_bin ${CMAKE_INSTALL_BINDIR})
  # Debian's multiarch folder (lib/x86_64-linux-gnu) for the library, its
  # CMake package and tavcore.pc, in the archive as in the .deb set: the
  # files of both lie at one depth below the prefix, which the package files
  # count to find it.
  if(CMAKE_LIBRARY_ARCHITECTURE)
    set(inst_lib lib/${CMAKE_LIBRARY_ARCHITECTURE})
  else()
    set(inst_lib ${CMAKE_INSTALL_LIBDIR})
  endif()
  set(inst_include ${CMAKE_INSTALL_INCLUDEDIR})
  set(inst_doc ${CMAKE_INSTALL_DATAROOTDIR}/doc/${NORVANE_PACKAGE})
  set(inst_man ${CMAKE_INSTALL_MANDIR})
  set(inst_standin ${inst_lib}/${NORVANE_PACKAGE}/standin)
  set(package_system linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(inst_cmake ${inst_lib}/cmake/tavcore)

# The programs that load the VM look for its library beside themselves, as
# Windows does, and nowhere else; the gateway links no library of ours and
# searches nowhere. The build tree's programs carry the installed RUNPATH
# too, since a build RUNPATH padded for the install's (":::::::") would name
# the current folder once for each empty entry.
set(programs kestrel kestrelw quillan_g gatelet_g)
if(NOT WIN32)
  set_target_properties(kestrel kestrelw quillan_g PROPERTIES
    INSTALL_RPATH "$ORIGIN" BUILD_WITH_INSTALL_RPATH ON)
  set_target_properties(gatelet_g PROPERTIES SKIP_BUILD_RPATH ON
    INSTALL_RPATH "")
endif()
# Each shipped program and library leaves the linker's map in link-maps/: the
# bill of materials of every package names from it what was linked in from
# outside the project (packaging/sbom.cmake).
set(NORVANE_LINK_MAPS ${CMAKE_BINARY_DIR}/link-maps)
file(MAKE_DIRECTORY ${NORVANE_LINK_MAPS})
foreach(target ${programs} tavcore javai_g)
  target_link_options(${target} PRIVATE
    "LINKER:-Map=${NORVANE_LINK_MAPS}/$<TARGET_FILE_NAME:${target}>.map")
endforeach()
install(TARGETS ${programs}
  RUNTIME DESTINATION ${inst_bin} COMPONENT launchers)

# Callers of tavcore find its header through the imported target.
target_include_directories(tavcore INTERFACE
  $<INSTALL_INTERFACE:${inst_include}>)
# A shared library is read, not run: no execute bits (Debian's rule).
install(TARGETS tavcore EXPORT tavcoreTargets
  RUNTIME DESTINATION ${inst_bin} COMPONENT launchers
  LIBRARY DESTINATION ${inst_lib} COMPONENT launchers
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  ARCHIVE DESTINATION ${inst_lib} COMPONENT launchers)
install(FILES tavcore/tavcore.h
  DESTINATION ${inst_include} COMPONENT launchers)
if(WIN32)
  # The module-definition file lets other toolchains make an import library
  # of their own.
  install(FILES tavcore/tavcore.def
    DESTINATION ${inst_lib} COMPONENT launchers)
endif()

install(EXPORT tavcoreTargets NAMESPACE tavcore::
  DESTINATION ${inst_cmake} COMPONENT launchers)
configure_package_config_file(cmake/tavcoreConfig.cmake.in
  ${CMAKE_BINARY_DIR}/package/tavcoreConfig.cmake
  INSTALL_DESTINATION ${inst_cmake})
write_basic_package_version_file(
  ${CMAKE_BINARY_DIR}/package/tavcoreConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_BINARY_DIR}/package/tavcoreConfig.cmake
  ${CMAKE_BINARY_DIR}/package/tavcoreConfigVersion.cmake
  DESTINATION ${inst_cmake} COMPONENT launchers)

if(NOT WIN32)
  # The prefix is found from the file's own place, so an unpacked archive
  # works wherever it lies.
  file(RELATIVE_PATH pc_up /p/${inst_lib}/pkgconfig /p)
  string(REGEX REPLACE "/$" "" pc_up ${pc_up})
  configure_file(cmake/tavcore.pc.in
    ${CMAKE_BINARY_DIR}/package/tavcore.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/tavcore.pc
    DESTINATION ${inst_lib}/pkgconfig COMPONENT launchers)
endif()

# Manual pages: roff where man reads them; rendered as HTML for Windows,
# which has no man.
set(man_pages
  man/kestrel.1
  man/quillan_g.1
  man/gatelet_g.1
  man/tavcore.3
  man/vorel.ini.5)
if(WIN32)
  find_program(MANDOC mandoc)
  if(MANDOC)
    set(man_html)
    file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
    foreach(page ${man_pages})
      get_filename_component(name ${page} NAME)
      set(out ${CMAKE_BINARY_DIR}/man/${name}.html)
      add_custom_command(OUTPUT ${out}
        COMMAND ${MANDOC} -T html -O man=%N.%S.html
                ${PROJECT_SOURCE_DIR}/${page} > ${out}
        DEPENDS ${page}
        COMMENT "Rendering ${name}"
        VERBATIM)
      list(APPEND man_html ${out})
    endforeach()
    add_custom_target(man_html ALL DEPENDS ${man_html})
    install(FILES ${man_html} DESTINATION ${inst_man} COMPONENT launchers)
  else()
    message(WARNING "mandoc not found: the manuals are not rendered")
  endif()
else()
  foreach(page ${man_pages})
    string(REGEX MATCH "[0-9]$" section ${page})
    install(FILES ${page}
      DESTINATION ${inst_man}/man${section} COMPONENT launchers)
  endforeach()
  # kestrelw shares the page of kestrel: a link, installed as a link.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/man)
  file(CREATE_LINK kestrel.1 ${CMAKE_BINARY_DIR}/man/kestrelw.1 SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/man/kestrelw.1
    DESTINATION ${inst_man}/man1 COMPONENT launchers)
endif()

install(FILES README.md man/vorel.ini.sample
  DESTINATION ${inst_doc} COMPONENT launchers)

# The stand-in VM: the library file alone, in its own folder. Its import
# library is not installed: the programs link the real VM's.
install(TARGETS javai_g
  RUNTIME DESTINATION ${inst_standin} COMPONENT standin
  LIBRARY DESTINATION ${inst_standin} COMPONENT standin
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
  ARCHIVE DESTINATION ${inst_lib} COMPONENT standin-import EXCLUDE_FROM_ALL)

# Packages: a ZIP for Windows, a TGZ for Linux; one per component. The .deb
# set is Debian's own build of the source tree (debian/).
set(CPACK_PACKAGE_NAME ${NORVANE_PACKAGE})
set(CPACK_PACKAGE_VENDOR "Norvane")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Native launchers and environment library of the Norvane Java tools")
set(CPACK_PACKAGE_FILE_NAME
  ${NORVANE_PACKAGE}-${PROJECT_VERSION}-${package_system})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_COMPONENTS_ALL launchers standin)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_LAUNCHERS_FILE_NAME ${CPACK_PACKAGE_FILE_NAME})
set(CPACK_ARCHIVE_STANDIN_FILE_NAME ${CPACK_PACKAGE_FILE_NAME}-standin)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR TGZ)
endif()
# Rebuilds of one commit give the same bytes: once CPack has made the
# archives, packaging/finish-packages.sh writes them again with sorted
# members, owner root and every time SOURCE_DATE_EPOCH (set by the install,
# above).
set(CPACK_NORVANE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_NORVANE_LINK_MAPS ${NORVANE_LINK_MAPS})
list(APPEND CPACK_POST_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/cmake/finish-packages.cmake)

# The shipped files are made ready on CPack's staging tree, not by the
# install (which keeps the build's files as they are): debug information
# split off into a tree of its own (the debug zip on Windows), stripped, and Windows
# files signed when NORVANE_SIGN_PKCS12 is set (packaging/prepare-files.sh).
set(CPACK_NORVANE_OBJCOPY ${CMAKE_OBJCOPY})
set(CPACK_NORVANE_OSSLSIGNCODE)
if(WIN32 AND NOT "$ENV{NORVANE_SIGN_PKCS12}" STREQUAL "")
  find_program(OSSLSIGNCODE osslsigncode)
  if(NOT OSSLSIGNCODE)
    message(FATAL_ERROR "NORVANE_SIGN_PKCS12 is set, and signing needs "
      "osslsigncode (Debian package osslsigncode)")
  endif()
  set(CPACK_NORVANE_OSSLSIGNCODE ${OSSLSIGNCODE})
endif()
list(APPEND CPACK_PRE_BUILD_SCRIPTS
  ${PROJECT_SOURCE_DIR}/cmake/prepare-packages.cmake)
set(CPACK_COMPONENT_LAUNCHERS_DISPLAY_NAME "Launchers and tavcore")
set(CPACK_COMPONENT_STANDIN_DISPLAY_NAME "Stand-in VM library (dry runs)")
set(CPACK_COMPONENT_STANDIN_DESCRIPTION
  "Dry-run stand-in for the Java VM library javai_g")
include(CPack)

# The MSI of the 32-bit Windows build, from the same install tree as the
# zip: cmake --build --preset win32 --target msi. What the build script needs
# is kept in a file of its own, so that a test can make another version.
if(WIN32 AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_program(WIXL wixl)
  find_program(MSIBUILD msibuild)
  find_program(FAKETIME faketime)
  set(msi_file ${NORVANE_PACKAGE}-${PROJECT_VERSION}-${package_system}.msi)
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/msi-settings.cmake CONTENT [[
set(BUILD_DIR "@CMAKE_BINARY_DIR@")
set(SOURCE_DIR "@PROJECT_SOURCE_DIR@")
set(PRODUCT_NAME "@NORVANE_PRODUCT@")
set(MANUFACTURER "@NORVANE_COMPANY@")
set(WIXL "@WIXL@")
set(MSIBUILD "@MSIBUILD@")
set(FAKETIME "@FAKETIME@")
set(OBJCOPY "@CMAKE_OBJCOPY@")
set(OSSLSIGNCODE "@CPACK_NORVANE_OSSLSIGNCODE@")
set(PACKAGE_NAME "@NORVANE_PACKAGE@-@package_system@")
set(PACKAGE_VERSION "@PROJECT_VERSION@")
set(LINK_MAPS "@NORVANE_LINK_MAPS@")
set(SBOM_FILE "@NORVANE_PACKAGE@-@PROJECT_VERSION@-@package_system@.spdx.json")
if(NOT DEFINED VERSION)
  set(VERSION "@NORVANE_WINDOWS_VERSION@")
endif()
if(NOT DEFINED OUTPUT)
  set(OUTPUT "@CMAKE_BINARY_DIR@/packages/@msi_file@")
endif()
if(NOT DEFINED WORK_DIR)
  set(WORK_DIR "@CMAKE_BINARY_DIR@/msi")
endif()
]] @ONLY)
  add_custom_target(msi
    COMMAND ${CMAKE_COMMAND} -DSETTINGS=${CMAKE_BINARY_DIR}/msi-settings.cmake
      -P ${PROJECT_SOURCE_DIR}/packaging/windows/msi.cmake
    COMMENT "Building ${msi_file}"
    VERBATIM)
  add_dependencies(msi ${programs} tavcore javai_g)
  if(TARGET man_html)
    add_dependencies(msi man_html)
  endif()
endif()
