# The Public Suffix List, compiled into the program as a table of its rules (both sections),
# from Debian's publicsuffix package. Nothing is downloaded at run time. The list is pinned by
# its hash: a newer list is taken only on purpose, after reading what changed.
set(QUILLMERE_PUBLIC_SUFFIX_LIST "/usr/share/publicsuffix/public_suffix_list.dat" CACHE FILEPATH
    "The Public Suffix List (Debian's publicsuffix package)")
set(QUILLMERE_PUBLIC_SUFFIX_SHA256 "87d2e11f3602b504fc5dbea9218429a4ce3c0f62aa6ce7a1371024add024baed" CACHE STRING
    "SHA-256 of the Public Suffix List the build accepts")

if(NOT EXISTS "${QUILLMERE_PUBLIC_SUFFIX_LIST}")
  message(FATAL_ERROR "The Public Suffix List is not at ${QUILLMERE_PUBLIC_SUFFIX_LIST}: install Debian's "
                      "publicsuffix package (scripts/common.sh does) or set QUILLMERE_PUBLIC_SUFFIX_LIST")
endif()
file(SHA256 "${QUILLMERE_PUBLIC_SUFFIX_LIST}" public_suffix_hash)
if(NOT public_suffix_hash STREQUAL QUILLMERE_PUBLIC_SUFFIX_SHA256)
  message(FATAL_ERROR "The Public Suffix List at ${QUILLMERE_PUBLIC_SUFFIX_LIST} is not the one this build "
                      "was checked with (SHA-256 ${public_suffix_hash}). Read what changed in it; to take it, "
                      "configure with -DQUILLMERE_PUBLIC_SUFFIX_SHA256=${public_suffix_hash} and make that the "
                      "default in cmake/public_suffix.cmake.")
endif()

set(public_suffix_table "${CMAKE_BINARY_DIR}/generated/public_suffix_rules.inc")
if("${QUILLMERE_PUBLIC_SUFFIX_LIST}" IS_NEWER_THAN "${public_suffix_table}")
  file(STRINGS "${QUILLMERE_PUBLIC_SUFFIX_LIST}" lines ENCODING UTF-8)
  set(rules "// Made by cmake/public_suffix.cmake from ${QUILLMERE_PUBLIC_SUFFIX_LIST}: one rule per entry, UTF-8.\n")
  foreach(line IN LISTS lines)
    # A rule is the line up to its first white space; comments and blank lines are no rules.
    string(REGEX REPLACE "[ \t].*$" "" rule "${line}")
    if(rule STREQUAL "" OR rule MATCHES "^//")
      continue()
    endif()
    string(APPEND rules "u8\"${rule}\",\n")
  endforeach()
  file(WRITE "${public_suffix_table}" "${rules}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${QUILLMERE_PUBLIC_SUFFIX_LIST}")
