# Run first by every install (install(CODE) in packaging.cmake): sets
# SOURCE_DATE_EPOCH, when unset, for what the install and the packaging run
# after it in this process (strip, which writes it into the header of a
# Windows file, the archives, dpkg-deb): the time of the last commit of the
# source tree, or of the changelog's top entry where the tree is no git
# checkout. Expects norvane_source, the source folder.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "")
  if(EXISTS "${norvane_source}/.git")
    execute_process(COMMAND git -C "${norvane_source}" log -1 --format=%ct
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch STREQUAL "")
    execute_process(COMMAND dpkg-parsechangelog
        -l "${norvane_source}/debian/changelog" -S Timestamp
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  if(epoch MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
  else()
    message(WARNING "SOURCE_DATE_EPOCH unset and no commit time found: "
      "the packages carry the times of this build")
  endif()
endif()
