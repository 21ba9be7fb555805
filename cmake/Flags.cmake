# Compiler settings shared by every target. Floating point must round every
# operation on its own so that maps are identical on every platform. (In a
# WebAssembly build every double operation rounds on its own already: the
# format has no fused multiply-add unless asked for, and no x87 registers.)
add_library(orvane_flags INTERFACE)
if(MSVC)
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:/W4 /fp:precise /utf-8 /permissive->)
else()
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-Wall -Wextra -ffp-contract=off -fno-fast-math>)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" AND NOT EMSCRIPTEN)
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
