# What `cmake --install` puts where (GNUInstallDirs), and the Debian package that CPack
# makes of it (scripts/package). The programs and the plug-in install themselves next to
# their targets (host/, tools/tallyleaf-sheet/, cmake/TallyleafPlugIn.cmake); this file
# adds the data, the desktop entry, the icon and the documents. Tests, benchmarks and
# tallyleaf-datagen are not installed.
#
#   bin/tallyleaf-host, bin/tallyleaf-sheet
#   lib/tallyleaf/libbTallyleaf.so               (the host looks here, relative to itself)
#   share/tallyleaf/templates/*.cll               (the report templates, host parameter 11)
#   share/tallyleaf/sql/schema-*.sql              (to create the budget schema on a server)
#   share/applications/tallyleaf.desktop, share/icons/hicolor/.../apps/tallyleaf.*
#   share/doc/tallyleaf/                          (README, guides, reference pages, pictures)
#   share/doc/tallyleaf/copyright, changelog.gz   (Debian's: data/debian/)
#
# The demo database's seed (data/demo, data/sql) is built into the programs as resources
# (:/data/...): the host writes the demo database from it on first use, so no seed file
# needs installing for that.

# Installing and packaging take what was built: scripts/package builds the installed
# targets first, and the package test runs after the whole build. Without this, CPack
# would build every test and benchmark before packaging.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TALLYLEAF_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tallyleaf)
# Debian names the document folder after the package, not after the CMake project.
set(TALLYLEAF_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/tallyleaf)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/templates/ DESTINATION ${TALLYLEAF_INSTALL_DATADIR}/templates
        FILES_MATCHING PATTERN "*.cll")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/sql/ DESTINATION ${TALLYLEAF_INSTALL_DATADIR}/sql
        FILES_MATCHING PATTERN "*.sql")

install(FILES ${PROJECT_SOURCE_DIR}/data/tallyleaf.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/tallyleaf.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/tallyleaf-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tallyleaf.png)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TALLYLEAF_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${TALLYLEAF_INSTALL_DOCDIR}
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")

# Debian looks for the package's copyright (machine-readable format) and its changelog,
# compressed with gzip -9n (no name, no time stamp: the same bytes on every build), in the
# document folder. The changelog's newest entry names the version being built.
set(TALLYLEAF_DEBIAN_CHANGELOG ${PROJECT_SOURCE_DIR}/data/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${TALLYLEAF_DEBIAN_CHANGELOG})
file(STRINGS ${TALLYLEAF_DEBIAN_CHANGELOG} TALLYLEAF_CHANGELOG_TOP LIMIT_COUNT 1)
string(REPLACE "." "\\." TALLYLEAF_VERSION_PATTERN "${PROJECT_VERSION}")
if(NOT TALLYLEAF_CHANGELOG_TOP MATCHES "^tallyleaf \\(${TALLYLEAF_VERSION_PATTERN}\\) ")
  message(FATAL_ERROR "data/debian/changelog: the newest entry \"${TALLYLEAF_CHANGELOG_TOP}\" "
                      "is not for version ${PROJECT_VERSION}; add an entry for it")
endif()
find_program(TALLYLEAF_GZIP gzip REQUIRED)
execute_process(COMMAND ${TALLYLEAF_GZIP} -9n -c ${TALLYLEAF_DEBIAN_CHANGELOG}
                OUTPUT_FILE ${PROJECT_BINARY_DIR}/changelog.gz RESULT_VARIABLE TALLYLEAF_GZIP_STATUS)
if(NOT TALLYLEAF_GZIP_STATUS EQUAL 0)
  message(FATAL_ERROR "gzip could not compress data/debian/changelog: ${TALLYLEAF_GZIP_STATUS}")
endif()
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${TALLYLEAF_INSTALL_DOCDIR})

# Manual pages, made from each program's --help when the program is built (so they say
# what the program says), compressed as Debian wants them.
set(TALLYLEAF_MAN_SUMMARY_tallyleaf-host "预算管理系统（指标打印插件 libbTallyleaf.so 的宿主）")
set(TALLYLEAF_MAN_SUMMARY_tallyleaf-sheet "check report templates and render them to PDF and Excel")
foreach(program tallyleaf-host tallyleaf-sheet)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            "-DSUMMARY=${TALLYLEAF_MAN_SUMMARY_${program}}" -DVERSION=${PROJECT_VERSION}
            -DGZIP=${TALLYLEAF_GZIP} -DOUTPUT=${page} -P ${PROJECT_SOURCE_DIR}/cmake/HelpToMan.cmake
    DEPENDS ${program} ${PROJECT_SOURCE_DIR}/cmake/HelpToMan.cmake
    COMMENT "Manual page of ${program} from its --help"
    VERBATIM)
  add_custom_target(${program}-man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# --- The Debian package ----------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallyleaf)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tallyleaf")
set(CPACK_PACKAGE_CONTACT "Tallyleaf maintainers <maintainers@tallyleaf.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# First line: the synopsis; the lines below: the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[budget indicator printing for finance departments
The indicator print window 指标打印 of a budget management system: pick an
indicator type, a budget unit and a fund nature, then preview, print or export
the indicator detail report to Excel, once or for every fund nature in a row.
Comes with its reference host tallyleaf-host, which runs on an embedded demo
database or on SQLite, PostgreSQL, SQL Server or Oracle (ODBC), and with
tallyleaf-sheet, a checker for the report templates.
预算指标打印：按单位、指标类型和资金性质预览、打印、导出预算指标明细表。]=])
# The shared libraries the programs link come from dpkg-shlibdeps with their versions
# (libqt6widgets6, libqt6printsupport6, libqt6sql6, libqt6gui6, libqt6core6, libxlsxwriter4,
# the C and C++ run times); Qt's plug-ins are loaded at run time, so their packages are
# named here: the SQL drivers and the SVG image reader (the icon, the check boxes).
# No double quotes in the description: CPack turns them into list separators.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, libqt6sql6-psql, libqt6sql6-odbc, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "tdsodbc, odbc-postgresql, unixodbc")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
