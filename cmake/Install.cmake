# cmake --install: the static libraries, the public headers and a package
# configuration, so that other projects use Orvane with find_package(Orvane).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(orvane_include_root ${CMAKE_INSTALL_INCLUDEDIR}/orvane)
install(FILES include/orvane/orvane.h ${PROJECT_BINARY_DIR}/include/orvane/version.h DESTINATION ${orvane_include_root})
install(FILES map/map.h map/sites.h DESTINATION ${orvane_include_root}/map)
install(FILES engine/colouring.h DESTINATION ${orvane_include_root}/engine)
install(FILES runs/batch.h runs/export.h runs/sitesfile.h runs/trace.h DESTINATION ${orvane_include_root}/runs)
install(FILES ui/draw.h ui/view.h DESTINATION ${orvane_include_root}/ui)

# What a program links: the whole stack with the headless back end placed
# after the layers that use it.
add_library(orvane_library INTERFACE)
target_link_libraries(orvane_library INTERFACE orvane_ui orvane_runs orvane_platform_headless)
set_target_properties(orvane_library PROPERTIES EXPORT_NAME orvane)
add_library(Orvane::orvane ALIAS orvane_library)

install(TARGETS orvane_library orvane_flags orvane_text orvane_map orvane_engine orvane_platform
                orvane_platform_headless orvane_runs orvane_ui
        EXPORT OrvaneTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} ${orvane_include_root})
install(EXPORT OrvaneTargets NAMESPACE Orvane:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)
configure_package_config_file(cmake/OrvaneConfig.cmake.in ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfig.cmake
                              INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfig.cmake ${CMAKE_CURRENT_BINARY_DIR}/OrvaneConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Orvane)
