# The layers of the product, one static library each, and the folders each layer's sources
# may include besides their own (docs/architecture.md draws the picture):
#
#   host            tallyleaf-host: its own code, the context records, the database layer
#   bTallyleaf      the shared object: the entry point over print/
#   print           the indicator print window, the report, TCell5, the dialogs it alone uses
#   plugin  trees   the plug-in frame and base windows; the data-bound trees
#   common          context records, settings, object factory, class registry, database layer
#   platform sheet  our layer over Qt; the report sheet engine (neither knows the other)
#   files           writing a user's file (what may be replaced, staging, renaming into place)
#
# tests/layers runs tests/layers/check_layers.py over the sources with this table: an
# include that runs upward (or sideways between plugin and trees, or platform and sheet)
# fails it, and the libraries below are linked in the same order, so a call that runs
# upward does not link either.
set(TALLYLEAF_LAYERS files platform sheet common plugin trees print host tools)
set(TALLYLEAF_LAYER_BELOW_files "")
set(TALLYLEAF_LAYER_BELOW_platform files)
set(TALLYLEAF_LAYER_BELOW_sheet files)
set(TALLYLEAF_LAYER_BELOW_common platform files)
set(TALLYLEAF_LAYER_BELOW_plugin common platform files)
set(TALLYLEAF_LAYER_BELOW_trees common platform files)
set(TALLYLEAF_LAYER_BELOW_print plugin trees common platform sheet files)
set(TALLYLEAF_LAYER_BELOW_host common platform files)
# The tools stand beside the host at the top: tallyleaf-sheet compiles the report's own
# template check (print/untReportTemplate) in.
set(TALLYLEAF_LAYER_BELOW_tools print common platform sheet files)

# tallyleaf_layer(NAME SOURCES files... LINKS libraries...): one layer's static library.
function(tallyleaf_layer name)
  cmake_parse_arguments(L "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${L_LINKS})
  tallyleaf_warnings(${name})
endfunction()

# tallyleaf_embed(TARGET RESOURCE PREFIX files...): embeds the files with Qt's resource
# system as :PREFIX/<file name> (form resources as :/forms/x.form, images as :/images/x.png).
# RESOURCE names the resource; it must be unique in the program.
function(tallyleaf_embed target resource prefix)
  if(NOT ARGN)
    return()
  endif()
  foreach(f ${ARGN})
    get_filename_component(n ${f} NAME)
    set_source_files_properties(${f} PROPERTIES QT_RESOURCE_ALIAS ${n})
  endforeach()
  qt_add_resources(${target} ${resource} PREFIX ${prefix} FILES ${ARGN})
endfunction()
