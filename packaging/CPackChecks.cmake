# Read by cpack before it makes a package: the newest entry of the changelog and the newest
# AppStream release must be of the version being packaged, or the package would tell another
# version than it holds.
file(STRINGS "${CPACK_KELVORA_CHANGELOG}" entry LIMIT_COUNT 1)
string(REGEX MATCH "^kelvora \\(([^)]+)\\)" entry "${entry}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "${CPACK_KELVORA_CHANGELOG}: the newest entry is of version "
                      "'${CMAKE_MATCH_1}', not ${CPACK_PACKAGE_VERSION}: add one")
endif()
file(READ "${CPACK_KELVORA_METAINFO}" metainfo)
string(REGEX MATCH "<release version=\"([^\"]+)\"" release "${metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL CPACK_PACKAGE_VERSION)
  message(FATAL_ERROR "${CPACK_KELVORA_METAINFO}: the newest release is '${CMAKE_MATCH_1}', "
                      "not ${CPACK_PACKAGE_VERSION}: add one")
endif()
