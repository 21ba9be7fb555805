# Compiler settings shared by every target. Floating point must round every
# operation on its own so that maps are identical on every platform. (In a
# WebAssembly build every double operation rounds on its own already: the
# format has no fused multiply-add unless asked for, and no x87 registers.)
add_library(orvane_flags INTERFACE)
# The headers use C++20 (std::span among them): every target that links a
# layer, the Python module and installed consumers included, compiles as C++20.
target_compile_features(orvane_flags INTERFACE cxx_std_20)
if(MSVC)
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:/W4 /fp:precise /utf-8 /permissive->)
else()
  target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-Wall -Wextra -ffp-contract=off -fno-fast-math>)
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)$" AND NOT EMSCRIPTEN)
    target_compile_options(orvane_flags INTERFACE $<BUILD_INTERFACE:-msse2 -mfpmath=sse>)
  endif()
endif()
# The sources' folders, and the generated headers (orvane/version.h).
target_include_directories(orvane_flags INTERFACE $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
                                                  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>)

# Release builds give the same bytes from any folder and at any time: the
# source and build folders are written into objects as fixed names (debug
# information, __FILE__), and archives carry no dates, owners or modes.
option(ORVANE_REPRODUCIBLE "Keep build paths and dates out of objects and archives (release builds)" OFF)
if(ORVANE_REPRODUCIBLE AND NOT MSVC)
  # The later option wins where both match: the build folder may lie inside the sources.
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=orvane -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  foreach(language C CXX)
    set(CMAKE_${language}_ARCHIVE_CREATE "<CMAKE_AR> qcD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_APPEND "<CMAKE_AR> qD <TARGET> <LINK_FLAGS> <OBJECTS>")
    set(CMAKE_${language}_ARCHIVE_FINISH "<CMAKE_RANLIB> -D <TARGET>")
  endforeach()
  if(MINGW)
    # The PE header's link time would differ on every build.
    add_link_options(LINKER:--no-insert-timestamp)
  endif()
endif()

if(ORVANE_TSAN)
  target_compile_options(orvane_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(orvane_flags INTERFACE -fsanitize=thread)
endif()

if(ORVANE_SANITIZE)
  target_compile_options(orvane_flags INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(orvane_flags INTERFACE -fsanitize=address,undefined)
endif()
