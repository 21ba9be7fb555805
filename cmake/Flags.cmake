# Compiler settings shared by every target. Floating point must round every
# operation on its own so that maps are identical on every platform.
add_library(orvane_flags INTERFACE)
# The headers use C++20 (std::span among them): every target that links a
# layer, the Python module and installed consumers included, compiles as C++20.
target_compile_features(orvane_flags INTERFACE cxx_std_20)
if(MSVC)
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:/W4 /fp:precise /utf-8 /permissive->)
else()
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-Wall -Wextra -ffp-contract=off -fno-fast-math>)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$")
    target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-msse2 -mfpmath=sse>)
  endif()
endif()
target_include_directories(orvane_flags INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>)

if(ORVANE_TSAN)
  target_compile_options(orvane_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=thread)
endif()

if(ORVANE_SANITIZE)
  target_compile_options(orvane_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(orvane_flags INTERFACE -fsanitize=address,undefined)
endif()
