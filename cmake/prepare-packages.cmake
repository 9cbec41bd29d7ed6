# Run by CPack on its staging tree, after the install and before the archives
# are made (CPACK_PRE_BUILD_SCRIPTS): packaging/prepare-files.sh makes the
# shipped files of each component ready and puts their debug files into one
# tree beside the staging tree, <package>-debug, which
# packaging/finish-packages.sh ships (cmake/finish-packages.cmake).
set(debug ${CPACK_TEMPORARY_DIRECTORY}-debug)
file(REMOVE_RECURSE ${debug})
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  if(NOT IS_DIRECTORY ${CPACK_TEMPORARY_DIRECTORY}/${component})
    continue()
  endif()
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env OBJCOPY=${CPACK_NORVANE_OBJCOPY}
            OSSLSIGNCODE=${CPACK_NORVANE_OSSLSIGNCODE}
            sh ${CPACK_NORVANE_SOURCE_DIR}/packaging/prepare-files.sh
            ${CPACK_TEMPORARY_DIRECTORY}/${component} ${debug}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "packaging/prepare-files.sh failed on the "
      "${component} files (${status})")
  endif()
endforeach()
