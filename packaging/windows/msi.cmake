# Builds the MSI of a 32-bit Windows build from its install tree (the
# "launchers" and "standin" components), run by the "msi" target:
#
#   cmake -DSETTINGS=<build>/msi-settings.cmake -P msi.cmake
#
# The settings file, written when the build is configured, names the build,
# the tools and the product; VERSION (four parts), OUTPUT (the MSI file) and
# WORK_DIR (the staging folder) may be given to make another version.
#
# The same commit gives the same bytes in any folder: the component codes
# come from the file paths, the product code from the version, the package
# code from the contents, and every time that wixl records (the summary's
# creation and save times, the cabinet's file times) is the time of
# SOURCE_DATE_EPOCH, or of the last commit when it is unset.
cmake_minimum_required(VERSION 3.25)
include(${SETTINGS})

foreach(tool WIXL MSIBUILD FAKETIME)
  if(NOT ${tool} OR NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "The MSI needs wixl, msibuild and faketime "
      "(Debian packages wixl, msitools and faketime); ${tool} not found")
  endif()
endforeach()

# packaging/prepare-files.sh with ARGN: makes shipped files ready, or
# signs one (-s FILE).
function(prepare_files)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env OBJCOPY=${OBJCOPY}
            OSSLSIGNCODE=${OSSLSIGNCODE}
            sh ${SOURCE_DIR}/packaging/prepare-files.sh ${ARGN}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    # An MSI that was to be signed is not left unsigned.
    if(ARGV0 STREQUAL "-s")
      file(REMOVE ${ARGV1})
    endif()
    message(FATAL_ERROR "packaging/prepare-files.sh ${ARGN} failed")
  endif()
endfunction()

# The time of every recorded date.
set(epoch "$ENV{SOURCE_DATE_EPOCH}")
if(epoch STREQUAL "")
  execute_process(COMMAND git -C ${SOURCE_DIR} log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0 OR epoch STREQUAL "")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH is unset and ${SOURCE_DIR} "
      "has no commit to take the time from")
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is not a number: ${epoch}")
endif()

# The shipped files, made ready as in the zip by packaging/prepare-files.sh
# (stripped, linked to their debug files, signed when NORVANE_SIGN_PKCS12 is
# set; objcopy stamps a Windows file with SOURCE_DATE_EPOCH, or else the
# clock), one folder per component, each with the epoch as its time, which
# the cabinet records. The debug files are the debug zip's; the MSI leaves
# them out.
set(ENV{SOURCE_DATE_EPOCH} ${epoch})
set(work ${WORK_DIR})
file(REMOVE_RECURSE ${work})
foreach(component launchers standin)
  execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR}
      --prefix ${work}/${component} --component ${component}
    OUTPUT_QUIET RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Installing the ${component} component failed")
  endif()
  prepare_files(${work}/${component} ${work}/debug)
  file(GLOB_RECURSE files_${component} LIST_DIRECTORIES false
    RELATIVE ${work}/${component} ${work}/${component}/*)
  list(SORT files_${component})
  if(NOT files_${component})
    message(FATAL_ERROR "The ${component} component installs nothing")
  endif()
endforeach()
# The bill of materials of every file of the MSI, last, in the product's
# folder as a file of the launchers feature (../sbom.cmake).
get_filename_component(msi_name ${OUTPUT} NAME)
execute_process(
  COMMAND ${CMAKE_COMMAND} "-DDIRS=${work}/launchers;${work}/standin"
    -DNAME=${PACKAGE_NAME} -DVERSION=${PACKAGE_VERSION} -DMAPS=${LINK_MAPS}
    -DPACKAGE_FILE=${msi_name} -DOUTPUT=${work}/launchers/${SBOM_FILE}
    -P ${CMAKE_CURRENT_LIST_DIR}/../sbom.cmake
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Writing the bill of materials failed")
endif()
list(APPEND files_launchers ${SBOM_FILE})
list(SORT files_launchers)
foreach(component launchers standin)
  execute_process(COMMAND touch -d @${epoch} ${files_${component}}
    WORKING_DIRECTORY ${work}/${component} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "Setting the file times failed")
  endif()
endforeach()

# Identifiers: the path with every other character as "_"; they must be
# distinct and at most 72 characters long.
set(used_ids)
function(wix_id out prefix path)
  string(MAKE_C_IDENTIFIER "${path}" id)
  set(id ${prefix}_${id})
  string(LENGTH ${id} length)
  if(length GREATER 72 OR id IN_LIST used_ids)
    message(FATAL_ERROR "No identifier of its own for ${path}")
  endif()
  set(used_ids ${used_ids} ${id} PARENT_SCOPE)
  set(${out} ${id} PARENT_SCOPE)
endfunction()

# One component per file, its code derived from its path alone, so that it
# stays the same from one version to the next.
set(upgrade_code 38869AC3-2AAC-5508-8C4C-0869590C5369)
set(all_files)
set(all_dirs)
set(launchers_refs)
set(standin_refs)
foreach(component launchers standin)
  foreach(rel IN LISTS files_${component})
    wix_id(id c ${rel})
    set(source_${id} ${component}/${rel})
    list(APPEND all_files ${rel})
    set(component_of_${rel} ${id})
    string(APPEND ${component}_refs "      <ComponentRef Id=\"${id}\"/>\n")
    get_filename_component(dir ${rel} DIRECTORY)
    while(NOT dir STREQUAL "")
      list(APPEND all_dirs ${dir})
      get_filename_component(dir ${dir} DIRECTORY)
    endwhile()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES all_dirs)
list(SORT all_dirs)
list(SORT all_files)

# The folder DIR ("" for the product's folder) and everything below it.
function(emit_folder dir indent)
  foreach(rel IN LISTS all_files)
    get_filename_component(parent ${rel} DIRECTORY)
    if(parent STREQUAL dir)
      get_filename_component(name ${rel} NAME)
      set(id ${component_of_${rel}})
      string(UUID guid NAMESPACE ${upgrade_code} NAME "component/${rel}"
        TYPE SHA1 UPPER)
      string(APPEND directories
        "${indent}<Component Id=\"${id}\" Guid=\"${guid}\">\n"
        "${indent}  <File Id=\"${id}\" Name=\"${name}\" "
        "Source=\"${source_${id}}\" KeyPath=\"yes\"/>\n"
        "${indent}</Component>\n")
    endif()
  endforeach()
  foreach(sub IN LISTS all_dirs)
    get_filename_component(parent ${sub} DIRECTORY)
    if(parent STREQUAL dir)
      get_filename_component(name ${sub} NAME)
      wix_id(id d ${sub})
      string(APPEND directories
        "${indent}<Directory Id=\"${id}\" Name=\"${name}\">\n")
      emit_folder(${sub} "${indent}  ")
      string(APPEND directories "${indent}</Directory>\n")
    endif()
  endforeach()
  set(directories "${directories}" PARENT_SCOPE)
  set(used_ids ${used_ids} PARENT_SCOPE)
endfunction()
set(directories)
emit_folder("" "            ")
string(REGEX REPLACE "\n$" "" directories "${directories}")
string(REGEX REPLACE "\n$" "" launchers_refs "${launchers_refs}")
string(REGEX REPLACE "\n$" "" standin_refs "${standin_refs}")

# A new version is a new product; the package code changes with the
# contents.
set(msi_version ${VERSION})
set(product_name ${PRODUCT_NAME})
set(manufacturer ${MANUFACTURER})
string(UUID norvane_folder_guid NAMESPACE ${upgrade_code}
  NAME "component/.." TYPE SHA1 UPPER)
string(UUID install_dir_guid NAMESPACE ${upgrade_code}
  NAME "component/." TYPE SHA1 UPPER)
string(UUID product_code NAMESPACE ${upgrade_code}
  NAME "product/${msi_version}" TYPE SHA1 UPPER)
configure_file(${CMAKE_CURRENT_LIST_DIR}/launchers.wxs.in
  ${work}/launchers.wxs @ONLY)
set(digests)
foreach(rel IN LISTS all_files)
  set(id ${component_of_${rel}})
  file(SHA256 ${work}/${source_${id}} digest)
  string(APPEND digests "${rel} ${digest}\n")
endforeach()
file(SHA256 ${work}/launchers.wxs digest)
string(UUID package_code NAMESPACE ${upgrade_code}
  NAME "package/${digest}/${digests}" TYPE SHA1 UPPER)

# Programs and libraries are versioned files for Windows Installer, which
# then replaces them by version rather than by hash; wixl leaves their
# version out, msibuild puts it in.
set(versioned)
foreach(rel IN LISTS all_files)
  if(rel MATCHES "\\.(exe|dll)$")
    set(id ${component_of_${rel}})
    list(APPEND versioned
      -q "UPDATE `File` SET `Version` = '${VERSION}', `Language` = '1033' WHERE `File` = '${id}'"
      -q "DELETE FROM `MsiFileHash` WHERE `File_` = '${id}'")
  endif()
endforeach()

# What wixl leaves out of Add/Remove Programs and the features: the
# install folder (ARPINSTALLLOCATION, set from INSTALLDIR once the folders
# are known, after CostFinalize, by a type-51 action, which wixl would make
# deferred and sequence at the end), and the feature attributes that the
# template asks for (16 UIDisallowAbsent, 8 DisallowAdvertise).
set(arp
  -q "INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetARPINSTALLLOCATION', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')"
  -q "INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetARPINSTALLLOCATION', 1001)"
  -q "UPDATE `Feature` SET `Attributes` = 24 WHERE `Feature` = 'Launchers'"
  -q "UPDATE `Feature` SET `Attributes` = 8 WHERE `Feature` = 'StandIn'")

# wixl takes the summary's times from the clock, and gives the package a
# random code: the clock is stopped at the epoch while it runs (string
# TIMESTAMP gives the time of SOURCE_DATE_EPOCH), and msibuild writes the
# package code afterwards.
string(TIMESTAMP stamp "%Y-%m-%d %H:%M:%S" UTC)
get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(REMOVE ${OUTPUT})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
          ${FAKETIME} -f "${stamp}" ${WIXL} -a x86 -o ${OUTPUT} launchers.wxs
  WORKING_DIRECTORY ${work} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "wixl failed on ${work}/launchers.wxs")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
          ${FAKETIME} -f "${stamp}" ${MSIBUILD} ${OUTPUT} ${versioned} ${arp}
          -s "${PRODUCT_NAME}" "${MANUFACTURER}" "Intel;1033"
          "{${package_code}}"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "msibuild could not set the versions and package code")
endif()

# Signed last, over the finished package, when a certificate is given.
prepare_files(-s ${OUTPUT})
