# Turns a program's --help into its manual page, so the page never says other than the
# program does. Run in script mode at build time:
#
#   cmake -DPROGRAM=<exe> -DNAME=<name> -DSUMMARY=<one line> -DVERSION=<x.y.z>
#         -DGZIP=<gzip> -DOUTPUT=<page.1.gz> -P HelpToMan.cmake
#
# The help texts share one layout: a line at the left margin that ends in a colon is a
# heading ("用法：…" and "usage:" may carry text after theirs); other lines at the left
# margin are paragraphs; indented lines are kept as they stand, with the option or
# command that starts such a line in bold. The page is compressed with gzip -9n, as
# Debian wants manual pages: no name, no time stamp, the same bytes on every build.
foreach(var PROGRAM NAME SUMMARY VERSION GZIP OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "HelpToMan.cmake: -D${var}=... is missing")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help
                OUTPUT_VARIABLE help RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${NAME} --help failed (status ${status}): ${errors}")
endif()

# troff: a backslash is written \e, a minus sign \-; a line must not start with . or '.
function(troff_escape text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  if(text MATCHES "^[.']")
    set(text "\\&${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
# The coding line tells man (preconv) that the page is UTF-8, whatever the reader's locale.
set(page ".\\\" -*- coding: UTF-8 -*-\n")
string(APPEND page ".TH ${title} 1 \"\" \"tallyleaf ${VERSION}\" \"User Commands\"\n")
troff_escape("${NAME}" name_escaped)
troff_escape("${SUMMARY}" summary_escaped)
string(APPEND page ".SH NAME\n${name_escaped} \\- ${summary_escaped}\n")

# Lines are taken by hand: a CMake list would split them at ';' and join them at '['.
set(verbatim FALSE)
set(in_paragraph FALSE)
string(APPEND help "\n")
while(NOT help STREQUAL "")
  string(FIND "${help}" "\n" eol)
  string(SUBSTRING "${help}" 0 ${eol} line)
  math(EXPR next "${eol} + 1")
  string(SUBSTRING "${help}" ${next} -1 help)

  if(line MATCHES "^ ")
    if(NOT verbatim)
      string(APPEND page ".nf\n")
      set(verbatim TRUE)
    endif()
    set(in_paragraph FALSE)
    troff_escape("${line}" escaped)
    # An item's option, command, variable or file is the first word of its line.
    string(REGEX REPLACE "^(  )(\\\\-[^ ]+, [^ ]+|[^ ]+)" "\\1\\\\fB\\2\\\\fR" escaped "${escaped}")
    string(APPEND page "${escaped}\n")
    continue()
  endif()
  if(verbatim)
    string(APPEND page ".fi\n")
    set(verbatim FALSE)
  endif()
  if(line STREQUAL "")
    set(in_paragraph FALSE)
  elseif(line MATCHES "^(.+)(:|：)$")
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    troff_escape("${heading}" heading)
    string(APPEND page ".SH \"${heading}\"\n")
    set(in_paragraph FALSE)
  elseif(line MATCHES "^(用法|usage)(:|：)(.*)$")
    string(TOUPPER "${CMAKE_MATCH_1}" heading)
    troff_escape("${heading}" heading)
    troff_escape("${CMAKE_MATCH_3}" rest)
    string(APPEND page ".SH \"${heading}\"\n${rest}\n")
    set(in_paragraph FALSE)
  else()
    troff_escape("${line}" escaped)
    if(NOT in_paragraph)
      string(APPEND page ".PP\n")
      set(in_paragraph TRUE)
    endif()
    string(APPEND page "${escaped}\n")
  endif()
endwhile()
if(verbatim)
  string(APPEND page ".fi\n")
endif()

string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${page}")
execute_process(COMMAND ${GZIP} -9n -f "${plain}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip could not compress ${plain}: ${status}")
endif()
