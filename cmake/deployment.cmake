# Values that depend on where the suite is deployed. The defaults are placeholders on
# reserved example domains; a real release passes its own with -D.
set(VELMO_SITE_HOST "www.velmo-livredor.example" CACHE STRING "Host of the official site")
set(VELMO_FORUM_HOST "www.velmo-livredor.example" CACHE STRING "Host of the forum")
set(VELMO_AUTHOR_CONTACT "contact@velmo-livredor.example" CACHE STRING "Author contact shown in About")
set(VELMO_UPDATE_BASE_URL "http://www.velmo-livredor.example/velmo-maj/" CACHE STRING "Update directory")
# The Ed25519 public key (64 hex digits) that every file of the official site must be
# signed with (scripts/sign_update.py). The default is the repository's TEST key
# (tests/keys/test-update-key.public), whose secret half is public too: a build with it
# accepts whatever anyone signs, so scripts/package.sh refuses to package it as a release.
file(STRINGS ${CMAKE_SOURCE_DIR}/tests/keys/test-update-key.public VELMO_TEST_UPDATE_PUBLIC_KEY LIMIT_COUNT 1)
set(VELMO_UPDATE_PUBLIC_KEY "${VELMO_TEST_UPDATE_PUBLIC_KEY}" CACHE STRING "Ed25519 public key of the update signatures (hex)")
if(NOT VELMO_UPDATE_PUBLIC_KEY MATCHES "^[0-9a-fA-F]+$")
  message(FATAL_ERROR "VELMO_UPDATE_PUBLIC_KEY must be 64 hex digits")
endif()
string(LENGTH "${VELMO_UPDATE_PUBLIC_KEY}" _velmo_key_length)
if(NOT _velmo_key_length EQUAL 64)
  message(FATAL_ERROR "VELMO_UPDATE_PUBLIC_KEY must be 64 hex digits")
endif()
configure_file(${CMAKE_SOURCE_DIR}/cmake/deployment.h.in ${CMAKE_BINARY_DIR}/generated/deployment.h @ONLY)
add_library(velmo_deployment INTERFACE)
target_include_directories(velmo_deployment INTERFACE ${CMAKE_BINARY_DIR}/generated)
