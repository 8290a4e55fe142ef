# The plug-in's own code (plugin/, common/, trees/, print/) is one static library, so
# the shared object, the host (which shares the database layer and the context records)
# and the tests link the same objects. The shared object adds only its entry point.
file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/plugin/*.cpp ${PROJECT_SOURCE_DIR}/plugin/*.h
  ${PROJECT_SOURCE_DIR}/common/*.cpp ${PROJECT_SOURCE_DIR}/common/*.h
  ${PROJECT_SOURCE_DIR}/trees/*.cpp ${PROJECT_SOURCE_DIR}/trees/*.h
  ${PROJECT_SOURCE_DIR}/print/*.cpp ${PROJECT_SOURCE_DIR}/print/*.h)
list(FILTER CORE_SOURCES EXCLUDE REGEX "/plugin/PlugInMain\\.cpp$")

add_library(tallyleaf_core STATIC ${CORE_SOURCES})
target_include_directories(tallyleaf_core PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(tallyleaf_core PUBLIC tallyleaf_platform tallyleaf_sheet)
tallyleaf_warnings(tallyleaf_core)
# The report job stops a running statement through the database's own client library, on
# the handle Qt's driver gives (SQLite's progress handler, libpq's cancel request).
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
pkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)
target_link_libraries(tallyleaf_core PRIVATE PkgConfig::SQLITE3 PkgConfig::LIBPQ)

# Form resources and images: embedded with Qt's resource system under :/forms/ and
# :/images/, addressed by file name only.
file(GLOB FORM_RESOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/plugin/*.form ${PROJECT_SOURCE_DIR}/common/*.form
  ${PROJECT_SOURCE_DIR}/trees/*.form ${PROJECT_SOURCE_DIR}/print/*.form)
if(FORM_RESOURCES)
  foreach(f ${FORM_RESOURCES})
    get_filename_component(n ${f} NAME)
    set_source_files_properties(${f} PROPERTIES QT_RESOURCE_ALIAS ${n})
  endforeach()
  qt_add_resources(tallyleaf_core "tallyleaf_forms" PREFIX "/forms" FILES ${FORM_RESOURCES})
endif()
file(GLOB IMAGE_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/images/*.png ${PROJECT_SOURCE_DIR}/data/images/*.svg)
if(IMAGE_RESOURCES)
  foreach(f ${IMAGE_RESOURCES})
    get_filename_component(n ${f} NAME)
    set_source_files_properties(${f} PROPERTIES QT_RESOURCE_ALIAS ${n})
  endforeach()
  qt_add_resources(tallyleaf_core "tallyleaf_images" PREFIX "/images" FILES ${IMAGE_RESOURCES})
endif()

# The budget database's schema and demo lists: :/data/sql/<file> and :/data/demo/<file>.
file(GLOB DATA_RESOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/sql/*.sql ${PROJECT_SOURCE_DIR}/data/demo/*.tsv)
if(DATA_RESOURCES)
  qt_add_resources(tallyleaf_core "tallyleaf_data" PREFIX "/data" BASE ${PROJECT_SOURCE_DIR}/data FILES ${DATA_RESOURCES})
endif()

# libbTallyleaf.so: one exported symbol, ShowPlugInWindow.
add_library(bTallyleaf SHARED ${PROJECT_SOURCE_DIR}/plugin/PlugInMain.cpp)
target_link_libraries(bTallyleaf PRIVATE tallyleaf_core)
target_link_options(bTallyleaf PRIVATE
  -Wl,--version-script=${PROJECT_SOURCE_DIR}/plugin/exports.map -Wl,--no-undefined)
set_target_properties(bTallyleaf PROPERTIES LINK_DEPENDS ${PROJECT_SOURCE_DIR}/plugin/exports.map)
tallyleaf_warnings(bTallyleaf)
install(TARGETS bTallyleaf LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tallyleaf)
