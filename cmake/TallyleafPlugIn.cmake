# libbTallyleaf.so: the entry point over the print window's layer. One exported symbol,
# ShowPlugInWindow; everything else is hidden. It lands at the top of the build folder,
# where the build's own host looks for it (host/HostInstallLayout).
add_library(bTallyleaf SHARED ${PROJECT_SOURCE_DIR}/plugin/PlugInMain.cpp)
target_link_libraries(bTallyleaf PRIVATE tallyleaf_print)
target_link_options(bTallyleaf PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin/exports.map -Wl,--no-undefined)
set_target_properties(bTallyleaf PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/exports.map)
tallyleaf_warnings(bTallyleaf)
install(TARGETS bTallyleaf LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tallyleaf)
