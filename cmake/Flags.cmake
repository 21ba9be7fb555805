# Compiler settings shared by every target. Floating point must round every
# operation on its own so that maps are identical on every platform.
add_library(orvane_flags INTERFACE)
if(MSVC)
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:/W4 /fp:precise /utf-8 /permissive->)
else()
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-Wall -Wextra -ffp-contract=off -fno-fast-math>)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-msse2 -mfpmath=sse>)
  endif()
endif()
# The sources' folders, and the generated headers (orvane/version.h).
target_include_directories(orvane_flags INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                                  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)

if(ORVANE_TSAN)
  target_compile_options(orvane_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=thread)
endif()

if(ORVANE_SANITIZE)
  target_compile_options(orvane_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(orvane_flags INTERFACE -fsanitize=address,undefined)
endif()
