# Run by CPack after each generator (CPACK_POST_BUILD_SCRIPTS), with the
# packages it made in CPACK_PACKAGE_FILES.

# The debug files of the shipped files (cmake/prepare-packages.cmake).
set(ENV{NORVANE_DEBUG_TREE} ${CPACK_TEMPORARY_DIRECTORY}-debug)
# What each package's bill of materials names: the version, and the link
# maps of the shipped files (packaging/sbom.cmake).
set(ENV{NORVANE_VERSION} ${CPACK_PACKAGE_VERSION})
set(ENV{NORVANE_LINK_MAPS} ${CPACK_NORVANE_LINK_MAPS})
execute_process(
  COMMAND sh ${CPACK_NORVANE_SOURCE_DIR}/packaging/finish-packages.sh
          ${CPACK_NORVANE_SOURCE_DIR} ${CPACK_PACKAGE_DIRECTORY}
          ${CPACK_PACKAGE_FILES}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "packaging/finish-packages.sh failed (${status})")
endif()
