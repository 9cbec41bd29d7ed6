# Writes the bill of materials of one package as an SPDX 2.3 JSON document:
# every regular file of the package with its SHA1 and SHA256, its symbolic
# links as notes, and what its programs and libraries hold or load from
# outside the project: what the linker took (read from the build's link
# maps) and the libraries they load at run time (their NEEDED entries or the
# DLLs they import), each with the version and licence that Debian gives it.
#
#   cmake -DDIRS=<dir>[;<dir>...] -DNAME=<package> -DVERSION=<version>
#         -DMAPS=<build>/link-maps -DOUTPUT=<dir>/<name>.spdx.json
#         [-DPACKAGE_FILE=<file name of the package>] -P sbom.cmake
#
# DIRS hold the files as they are packed (for a .deb, its folder with DEBIAN/);
# several are joined into one tree, as the MSI joins the folders of its
# features. OUTPUT lies in that tree and is not listed. The document's time is
# SOURCE_DATE_EPOCH, which must be set; its namespace is derived from its
# contents.
cmake_minimum_required(VERSION 3.25)

foreach(var DIRS NAME VERSION MAPS OUTPUT)
  if("${${var}}" STREQUAL "")
    message(FATAL_ERROR "sbom.cmake: ${var} is not given")
  endif()
endforeach()
if(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "sbom.cmake: SOURCE_DATE_EPOCH is not set")
endif()

# What a shipped file may hold or load from outside the project, one row per
# component: a linked archive member or object, or a loaded library, is
# named by the first row whose Debian package and file name match (an empty
# pattern matches anything). A row without a Debian package names a library
# that the system or the product provides at run time. The licences are
# those of the Debian package's copyright file, whose full text it keeps.
set(gcc "GPL-3.0-or-later WITH GCC-exception-3.1")
set(mingw ZPL-2.1 LicenseRef-public-domain BSD-2-Clause BSD-3-Clause ISC
  LicenseRef-mingw-w64-permissive)
list(JOIN mingw " AND " mingw)
set(pthreads "MIT AND BSD-3-Clause AND LicenseRef-public-domain")
set(glibc "LGPL-2.1-or-later AND BSD-3-Clause AND ISC")
set(system_dlls "^(kernel32|msvcrt|user32|advapi32|shell32)[.]dll$")
set(rows 0)
macro(component name package file supplier licence)
  math(EXPR rows "${rows} + 1")
  set(row_${rows} "${name}" "${package}" "${file}" "${supplier}" "${licence}")
endmacro()
#         component     Debian package              file
#                                                                 supplier licence
component(winpthreads   "^mingw-w64-.*-dev$"        "^lib(win)?pthread[.]a$"
                                                                  Debian   "${pthreads}")
component(mingw-w64-crt "^mingw-w64-.*-dev$"        ""            Debian   "${mingw}")
component(libssp        "^gcc-mingw-w64-"           "^libssp"     Debian   "${gcc}")
component(libstdc++     "^(g[+][+]-mingw-w64-|libstdc[+][+])"
                                                    ""            Debian   "${gcc}")
component(libgcc-s      "^libgcc-s[0-9]"            ""            Debian   "${gcc}")
component(libgcc        "^(gcc-mingw-w64-|libgcc-)" ""            Debian   "${gcc}")
component(glibc         "^libc6(-dev)?$"            ""            Debian   "${glibc}")
component(javai_g       ""                          "^(lib)?javai_g[.](so|dll)$"
                                                                  Norvane  NOASSERTION)
component(*             ""                          "${system_dlls}"
                                                    "Microsoft Corporation" NOASSERTION)

# The texts of the licences that have no SPDX identifier.
set(text_LicenseRef-public-domain "Placed in the public domain by its \
authors, as the copyright file of the Debian package records.")
set(text_LicenseRef-mingw-w64-permissive "The permissive licences of parts \
of the mingw-w64 runtime (gdtoa: Lucent Technologies and David M. Gay; math: \
Sun Microsystems; misc and stdio: Keith Marshall), whose texts are in \
/usr/share/doc/mingw-w64-<arch>-dev/copyright.")
# The project's own licence and copyright, as the .debs state them.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/../debian/copyright copyright_lines)
set(in_licence 0)
set(text_LicenseRef-Norvane "")
foreach(line IN LISTS copyright_lines)
  if(line MATCHES "^Copyright: (.*)")
    set(own_copyright "Copyright ${CMAKE_MATCH_1}")
  elseif(line STREQUAL "License: Norvane")
    set(in_licence 1)
  elseif(in_licence AND line MATCHES "^ (.*)")
    string(APPEND text_LicenseRef-Norvane " ${CMAKE_MATCH_1}")
  else()
    set(in_licence 0)
  endif()
endforeach()
string(STRIP "${text_LicenseRef-Norvane}" text_LicenseRef-Norvane)

string(TIMESTAMP created "%Y-%m-%dT%H:%M:%SZ" UTC)
set(tool "Tool: norvane-sbom.cmake-${VERSION}")

# A JSON string of TEXT.
function(quote out text)
  string(REPLACE "\\" "\\\\" text "${text}")
  string(REPLACE "\"" "\\\"" text "${text}")
  string(REPLACE "\t" "\\t" text "${text}")
  set(${out} "\"${text}\"" PARENT_SCOPE)
endfunction()

# An SPDX identifier: PREFIX and TEXT with every other character as "-".
function(spdx_id out prefix text)
  string(REGEX REPLACE "[^A-Za-z0-9.]" "-" text "${text}")
  set(${out} "SPDXRef-${prefix}${text}" PARENT_SCOPE)
endfunction()

# The names under which dpkg may know PATH: as given, with its links
# resolved, and on a merged /usr with and without the leading /usr.
function(dpkg_names out path)
  get_filename_component(path "${path}" ABSOLUTE)
  get_filename_component(real "${path}" REALPATH)
  set(names "${path}" "${real}")
  foreach(p "${path}" "${real}")
    if(p MATCHES "^/usr(/lib.*)")
      list(APPEND names "${CMAKE_MATCH_1}")
    elseif(p MATCHES "^/lib")
      list(APPEND names "/usr${p}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES names)
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# The Debian package (name:arch, as dpkg names it) that installed PATH, from
# what dpkg was asked, or "".
function(debian_package out path)
  dpkg_names(names "${path}")
  foreach(p IN LISTS names)
    if(DEFINED "owner_${p}")
      set(${out} "${owner_${p}}" PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} "" PARENT_SCOPE)
endfunction()

# The first row that names FILE of the Debian package PACKAGE ("" for a
# library of no package); its number in OUT, or 0.
function(find_row out package file)
  string(REGEX REPLACE ":.*" "" package "${package}")
  string(TOLOWER "${file}" file)
  foreach(n RANGE 1 ${rows})
    list(GET row_${n} 1 want_package)
    list(GET row_${n} 2 want_file)
    if(want_package STREQUAL "" AND NOT package STREQUAL "")
      continue()
    endif()
    if((want_package STREQUAL "" OR package MATCHES "${want_package}") AND
       (want_file STREQUAL "" OR file MATCHES "${want_file}"))
      set(${out} ${n} PARENT_SCOPE)
      return()
    endif()
  endforeach()
  set(${out} 0 PARENT_SCOPE)
endfunction()

# Records that the shipped file FILE_ID links (STATIC_LINK or DYNAMIC_LINK)
# the component of row N, taken from the Debian package PACKAGE as the file
# PIECE. The external packages and relationships collect in the caller.
macro(add_link file_id kind n package piece)
  list(GET row_${n} 0 component_name)
  if(component_name STREQUAL "*")
    string(TOLOWER "${piece}" component_name)
  endif()
  string(REGEX REPLACE ":.*" "" ext_id "${package}")
  if(NOT ext_id STREQUAL "")
    set(ext_id "-${ext_id}")
  endif()
  spdx_id(ext_id "Package-" "${component_name}${ext_id}")
  if(NOT ext_id IN_LIST externals)
    list(APPEND externals ${ext_id})
    set(ext_name_${ext_id} "${component_name}")
    set(ext_row_${ext_id} ${n})
    set(ext_package_${ext_id} "${package}")
    set(ext_pieces_${ext_id})
  endif()
  if(NOT "${piece}" IN_LIST ext_pieces_${ext_id})
    list(APPEND ext_pieces_${ext_id} "${piece}")
  endif()
  set(relationship "${file_id} ${kind} ${ext_id}")
  if(NOT relationship IN_LIST links)
    list(APPEND links "${relationship}")
  endif()
endmacro()

# The files: every regular file of the tree but the document itself, sorted
# by name; symbolic links apart.
get_filename_component(output "${OUTPUT}" ABSOLUTE)
set(files)
set(symlinks)
foreach(dir IN LISTS DIRS)
  get_filename_component(dir "${dir}" ABSOLUTE)
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE "${dir}" "${dir}/*")
  foreach(rel IN LISTS found)
    if("${dir}/${rel}" STREQUAL output)
      set(output_rel "${rel}")
      continue()
    endif()
    # A .deb's control files, in DEBIAN/ at the top, are not its files.
    if(rel MATCHES "^DEBIAN/")
      continue()
    endif()
    if(rel IN_LIST files OR rel IN_LIST symlinks)
      message(FATAL_ERROR "sbom.cmake: ${rel} is in more than one folder")
    endif()
    set(path_${rel} "${dir}/${rel}")
    if(IS_SYMLINK "${dir}/${rel}")
      list(APPEND symlinks "${rel}")
    else()
      list(APPEND files "${rel}")
    endif()
  endforeach()
endforeach()
if(NOT DEFINED output_rel)
  list(GET DIRS 0 dir)
  get_filename_component(dir "${dir}" ABSOLUTE)
  file(RELATIVE_PATH output_rel "${dir}" "${output}")
endif()
list(SORT files)
list(SORT symlinks)
if(NOT files)
  message(FATAL_ERROR "sbom.cmake: no file in ${DIRS}")
endif()

# Each file with its checksums; for a program or library, what the linker
# took from outside the project (archive members and objects given by an
# absolute path in its link map) and the libraries it loads.
set(file_json "[]")
set(sha1s)
set(used_ids)
set(ask)
set(i 0)
foreach(rel IN LISTS files)
  set(path "${path_${rel}}")
  file(SHA1 "${path}" sha1)
  file(SHA256 "${path}" sha256)
  list(APPEND sha1s ${sha1})
  spdx_id(id "File-" "${rel}")
  if(id IN_LIST used_ids)
    message(FATAL_ERROR "sbom.cmake: no identifier of its own for ${rel}")
  endif()
  list(APPEND used_ids ${id})
  set(id_${rel} ${id})
  quote(name "./${rel}")
  string(JSON file_json SET "${file_json}" ${i} "{
    \"SPDXID\": \"${id}\", \"fileName\": ${name},
    \"checksums\": [
      {\"algorithm\": \"SHA1\", \"checksumValue\": \"${sha1}\"},
      {\"algorithm\": \"SHA256\", \"checksumValue\": \"${sha256}\"}]}")
  math(EXPR i "${i} + 1")

  file(READ "${path}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND readelf -d "${path}" OUTPUT_VARIABLE dynamic
      RESULT_VARIABLE status ERROR_QUIET)
    string(REGEX MATCHALL "\\(NEEDED\\)[^\n]*\\[[^]\n]+\\]" loads "${dynamic}")
    list(TRANSFORM loads REPLACE ".*\\[(.*)\\]" "\\1")
  elseif(magic MATCHES "^4d5a")
    execute_process(COMMAND objdump -p "${path}" OUTPUT_VARIABLE dynamic
      RESULT_VARIABLE status ERROR_QUIET)
    string(REGEX MATCHALL "DLL Name: [^\n]+" loads "${dynamic}")
    list(TRANSFORM loads REPLACE "^DLL Name: " "")
  else()
    continue()
  endif()
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "sbom.cmake: cannot read the header of ${rel}")
  endif()
  # A program or library of the build loads at least the C library; a file
  # of debug information split off one keeps its header, but neither its
  # dynamic section nor its imports.
  if(NOT loads)
    continue()
  endif()
  list(APPEND binaries "${rel}")
  set(loads_${rel} "${loads}")
  get_filename_component(base "${rel}" NAME)
  set(map "${MAPS}/${base}.map")
  if(NOT EXISTS "${map}")
    message(FATAL_ERROR "sbom.cmake: ${rel} has no link map (${map})")
  endif()
  file(STRINGS "${map}" taken
    REGEX "^(LOAD )?/[^ (]+[.](a|o|obj|so[.0-9]*)([(]|$)")
  set(pieces_${rel})
  set(dirs_${rel})
  foreach(line IN LISTS taken)
    set(piece "")
    if(line MATCHES "^(/[^ (]+[.]a)[(]")
      set(piece "${CMAKE_MATCH_1}")
    elseif(line MATCHES "^LOAD (/.+[.]o(bj)?)$")
      set(piece "${CMAKE_MATCH_1}")
    endif()
    if(piece)
      get_filename_component(piece "${piece}" ABSOLUTE)
      list(APPEND pieces_${rel} "${piece}")
      dpkg_names(names "${piece}")
      list(APPEND ask ${names})
    else()
      # A shared library the linker read: where run-time libraries lie.
      string(REGEX REPLACE "^LOAD " "" line "${line}")
      get_filename_component(line "${line}" ABSOLUTE)
      get_filename_component(line "${line}" DIRECTORY)
      list(APPEND dirs_${rel} "${line}")
    endif()
  endforeach()
  list(REMOVE_DUPLICATES pieces_${rel})
  list(REMOVE_DUPLICATES dirs_${rel})
  foreach(library IN LISTS loads)
    foreach(dir IN LISTS dirs_${rel})
      if(EXISTS "${dir}/${library}")
        dpkg_names(names "${dir}/${library}")
        list(APPEND ask ${names})
      endif()
    endforeach()
  endforeach()
endforeach()

# dpkg, asked once for every path: "package[:arch][, ...]: path" lines.
if(ask)
  list(REMOVE_DUPLICATES ask)
  execute_process(COMMAND dpkg -S ${ask} OUTPUT_VARIABLE found ERROR_QUIET)
  string(REGEX MATCHALL "[^\n]+" found "${found}")
  foreach(line IN LISTS found)
    if(line MATCHES "^([^ ,:]+(:[a-z0-9]+)?)(, [^:]+)*: (/.*)$")
      set("owner_${CMAKE_MATCH_4}" "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endif()

set(externals)
set(links)
set(own_links)
foreach(rel IN LISTS binaries)
  set(id ${id_${rel}})
  foreach(piece IN LISTS pieces_${rel})
    debian_package(owner "${piece}")
    get_filename_component(piece_name "${piece}" NAME)
    if(owner STREQUAL "")
      message(FATAL_ERROR "sbom.cmake: ${piece} is linked into ${rel} "
        "and comes from no Debian package")
    endif()
    find_row(n "${owner}" "${piece_name}")
    if(n EQUAL 0)
      message(FATAL_ERROR "sbom.cmake: no component for ${piece} "
        "(${owner}), linked into ${rel}")
    endif()
    add_link(${id} STATIC_LINK ${n} "${owner}" "${piece_name}")
  endforeach()

  # A loaded library: one that the system or the product provides, one of
  # this package, or one of a Debian package where the linker found it.
  foreach(library IN LISTS loads_${rel})
    find_row(n "" "${library}")
    if(n GREATER 0)
      add_link(${id} DYNAMIC_LINK ${n} "" "${library}")
      continue()
    endif()
    set(own)
    foreach(other IN LISTS files)
      get_filename_component(other_name "${other}" NAME)
      if(other_name STREQUAL library)
        set(own "${other}")
      endif()
    endforeach()
    if(own)
      list(APPEND own_links "${id} DYNAMIC_LINK ${id_${own}}")
      continue()
    endif()
    set(owner "")
    foreach(dir IN LISTS dirs_${rel})
      if(owner STREQUAL "" AND EXISTS "${dir}/${library}")
        debian_package(owner "${dir}/${library}")
      endif()
    endforeach()
    set(n 0)
    if(owner)
      find_row(n "${owner}" "${library}")
    endif()
    if(n EQUAL 0)
      message(FATAL_ERROR "sbom.cmake: ${rel} loads ${library}, which no "
        "component names")
    endif()
    add_link(${id} DYNAMIC_LINK ${n} "${owner}" "${library}")
  endforeach()
endforeach()

list(SORT sha1s)
list(JOIN sha1s "" joined)
string(SHA1 verification "${joined}")

# The package itself; its symbolic links as notes, since an SPDX file is a
# regular file with checksums.
quote(name_json "${NAME}")
quote(version_json "${VERSION}")
quote(excluded "./${output_rel}")
quote(copyright_json "${own_copyright}")
set(package "{
  \"SPDXID\": \"SPDXRef-Package\", \"name\": ${name_json},
  \"versionInfo\": ${version_json}, \"supplier\": \"Organization: Norvane\",
  \"downloadLocation\": \"NOASSERTION\", \"filesAnalyzed\": true,
  \"packageVerificationCode\": {
    \"packageVerificationCodeValue\": \"${verification}\",
    \"packageVerificationCodeExcludedFiles\": [${excluded}]},
  \"licenseConcluded\": \"NOASSERTION\",
  \"licenseDeclared\": \"LicenseRef-Norvane\",
  \"copyrightText\": ${copyright_json}}")
if(DEFINED PACKAGE_FILE)
  quote(file_name "${PACKAGE_FILE}")
  string(JSON package SET "${package}" packageFileName "${file_name}")
endif()
set(i 0)
foreach(rel IN LISTS symlinks)
  file(READ_SYMLINK "${path_${rel}}" target)
  quote(note "Symbolic link ./${rel} -> ${target}")
  if(i EQUAL 0)
    string(JSON package SET "${package}" annotations "[]")
  endif()
  string(JSON package SET "${package}" annotations ${i} "{
    \"annotationType\": \"OTHER\", \"annotator\": \"${tool}\",
    \"annotationDate\": \"${created}\", \"comment\": ${note}}")
  math(EXPR i "${i} + 1")
endforeach()

# The components, sorted by identifier; each with the version that dpkg
# reports for the Debian package that holds it.
set(packages "[]")
string(JSON packages SET "${packages}" 0 "${package}")
set(licences LicenseRef-Norvane)
list(SORT externals)
set(i 1)
foreach(ext IN LISTS externals)
  set(n ${ext_row_${ext}})
  list(GET row_${n} 3 supplier)
  list(GET row_${n} 4 licence)
  quote(name_json "${ext_name_${ext}}")
  quote(licence_json "${licence}")
  list(JOIN ext_pieces_${ext} ", " pieces)
  set(deb "${ext_package_${ext}}")
  set(entry "{
    \"SPDXID\": \"${ext}\", \"name\": ${name_json},
    \"supplier\": \"Organization: ${supplier}\",
    \"downloadLocation\": \"NOASSERTION\", \"filesAnalyzed\": false,
    \"primaryPackagePurpose\": \"LIBRARY\",
    \"licenseConcluded\": \"NOASSERTION\", \"licenseDeclared\": ${licence_json},
    \"copyrightText\": \"NOASSERTION\"}")
  if(deb STREQUAL "")
    set(comment "Found at run time, not in this package: ${pieces}")
  else()
    execute_process(
      COMMAND dpkg-query -W "-f=\${Version}|\${Architecture}" "${deb}"
      OUTPUT_VARIABLE deb_info RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT deb_info MATCHES "^([^|]+)\\|(.+)$")
      message(FATAL_ERROR "sbom.cmake: dpkg-query knows no ${deb}")
    endif()
    set(deb_version "${CMAKE_MATCH_1}")
    set(deb_arch "${CMAKE_MATCH_2}")
    string(REGEX REPLACE ":.*" "" deb_name "${deb}")
    string(REPLACE "+" "%2B" purl_version "${deb_version}")
    string(REPLACE "+" "%2B" purl_name "${deb_name}")
    quote(version_json "${deb_version}")
    set(comment "Debian package ${deb_name} (${deb_arch}), licences as \
/usr/share/doc/${deb_name}/copyright gives them;")
    if(pieces MATCHES "\\.(a|o|obj)(,|$)")
      string(APPEND comment " linked from: ${pieces}")
    else()
      string(APPEND comment " loaded at run time: ${pieces}")
    endif()
    string(JSON entry SET "${entry}" versionInfo "${version_json}")
    string(JSON entry SET "${entry}" externalRefs "[{
      \"referenceCategory\": \"PACKAGE-MANAGER\", \"referenceType\": \"purl\",
      \"referenceLocator\":
        \"pkg:deb/debian/${purl_name}@${purl_version}?arch=${deb_arch}\"}]")
  endif()
  quote(comment "${comment}")
  string(JSON entry SET "${entry}" comment "${comment}")
  string(JSON packages SET "${packages}" ${i} "${entry}")
  string(REGEX MATCHALL "LicenseRef-[A-Za-z0-9.-]+" refs "${licence}")
  list(APPEND licences ${refs})
  math(EXPR i "${i} + 1")
endforeach()

# The relationships: the document describes the package, which contains
# every file; each file links the components it holds or loads, and the
# files of this package that it loads.
set(relationships "[]")
set(i 0)
macro(relate from kind to)
  string(JSON relationships SET "${relationships}" ${i} "{
    \"spdxElementId\": \"${from}\", \"relationshipType\": \"${kind}\",
    \"relatedSpdxElement\": \"${to}\"}")
  math(EXPR i "${i} + 1")
endmacro()
relate(SPDXRef-DOCUMENT DESCRIBES SPDXRef-Package)
foreach(rel IN LISTS files)
  relate(SPDXRef-Package CONTAINS ${id_${rel}})
endforeach()
foreach(link IN LISTS links)
  string(REPLACE " " ";" link "${link}")
  relate(${link})
endforeach()
foreach(link IN LISTS own_links)
  string(REPLACE " " ";" link "${link}")
  relate(${link})
endforeach()

set(extracted "[]")
list(REMOVE_DUPLICATES licences)
list(SORT licences)
set(i 0)
foreach(ref IN LISTS licences)
  quote(text "${text_${ref}}")
  string(JSON extracted SET "${extracted}" ${i} "{
    \"licenseId\": \"${ref}\", \"extractedText\": ${text}}")
  math(EXPR i "${i} + 1")
endforeach()

quote(name_json "${NAME}-${VERSION}")
set(doc "{
  \"spdxVersion\": \"SPDX-2.3\", \"dataLicense\": \"CC0-1.0\",
  \"SPDXID\": \"SPDXRef-DOCUMENT\", \"name\": ${name_json},
  \"documentNamespace\": \"\",
  \"creationInfo\": {\"created\": \"${created}\",
    \"creators\": [\"Organization: Norvane\", \"${tool}\"]}}")
string(JSON doc SET "${doc}" packages "${packages}")
string(JSON doc SET "${doc}" files "${file_json}")
string(JSON doc SET "${doc}" relationships "${relationships}")
string(JSON doc SET "${doc}" hasExtractedLicensingInfos "${extracted}")
# The namespace names this document alone: the same package, version and
# contents give the same one.
string(SHA256 digest "${doc}")
string(SUBSTRING "${digest}" 0 32 digest)
string(REGEX REPLACE "[^A-Za-z0-9.-]" "-" ns_name "${NAME}-${VERSION}")
string(JSON doc SET "${doc}" documentNamespace
  "\"https://norvane.example/spdx/${ns_name}-${digest}\"")
file(WRITE "${OUTPUT}" "${doc}\n")
