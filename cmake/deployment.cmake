# Values that depend on where the suite is deployed. The defaults are placeholders on
# reserved example domains; a real release passes its own with -D.
set(VELMO_SITE_HOST "www.velmo-livredor.example" CACHE STRING "Host of the official site")
set(VELMO_FORUM_HOST "www.velmo-livredor.example" CACHE STRING "Host of the forum")
set(VELMO_AUTHOR_CONTACT "contact@velmo-livredor.example" CACHE STRING "Author contact shown in About")
set(VELMO_UPDATE_BASE_URL "http://www.velmo-livredor.example/velmo-maj/" CACHE STRING "Update directory")
configure_file(${CMAKE_SOURCE_DIR}/cmake/deployment.h.in ${CMAKE_BINARY_DIR}/generated/deployment.h @ONLY)
add_library(velmo_deployment INTERFACE)
target_include_directories(velmo_deployment INTERFACE ${CMAKE_BINARY_DIR}/generated)
