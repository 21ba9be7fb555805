# The version header of the library, from project(Orvane VERSION ...): the
# code reads orvane::version, so the number is written down only once.
configure_file(${PROJECT_SOURCE_DIR}/cmake/version.h.in ${PROJECT_BINARY_DIR}/include/orvane/version.h @ONLY)
